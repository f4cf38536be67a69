#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

// The progress window a CTemplate shows while the handset works: a title, a message with
// "%s" arguments, an animation, an optional Cancel button (which posts WM_APP+0x6F to the
// owner) and the progress line "( done / total )".
class IProgressDisplay {
 public:
  virtual ~IProgressDisplay() = default;
  virtual void Open(const QString& title, const QString& text, int animationKind, bool cancelAllowed,
                    const QStringList& arguments) = 0;
  virtual void Close() = 0;
  virtual void Progress(std::uint64_t done, std::uint64_t total) = 0;
  virtual bool IsOpen() const = 0;
  // Brings the window to the front (it stays where it is).
  virtual void Raise() = 0;
  virtual void SetTitle(const QString& title) = 0;
  virtual void SetText(const QString& text, const QStringList& arguments) = 0;
  virtual QWidget* Widget() = 0;
};
