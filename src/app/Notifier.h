#pragma once

#include <QString>

// How serious a notice is: it picks the notice's icon and urgency.
enum class NoticeSeverity { Information, Warning };

// Short notices near the tray ("Handset is connected."). Show replaces a notice still on
// screen; Close removes it (the resident window closes every notice after its display time).
class INotifier {
 public:
  virtual ~INotifier() = default;
  virtual void Show(const QString& title, const QString& text, NoticeSeverity severity) = 0;
  virtual void Close() = 0;
};
