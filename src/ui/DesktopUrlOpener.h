#pragma once

#include "ui/UrlOpener.h"

// Opens addresses through QDesktopServices (xdg-open on Linux, the shell on Windows).
class CDesktopUrlOpener : public IUrlOpener {
 public:
  bool Open(const QUrl& url) override;
};
