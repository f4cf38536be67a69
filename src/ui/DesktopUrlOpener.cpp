#include "ui/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

bool CDesktopUrlOpener::Open(const QUrl& url) {
  return QDesktopServices::openUrl(url);
}
