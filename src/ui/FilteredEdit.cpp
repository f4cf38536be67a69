#include "ui/FilteredEdit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace {

std::function<void()>& BeepHook() {
  static std::function<void()> hook;
  return hook;
}

// Keyboard positions of the shortcut letters as PC scan codes (the same numbers as the
// Linux input codes, which X11 and Wayland report raised by 8).
constexpr quint32 kScanZ = 44;
constexpr quint32 kScanX = 45;
constexpr quint32 kScanC = 46;
constexpr quint32 kScanV = 47;
constexpr quint32 kScanA = 30;

quint32 ScanCodeOf(const QKeyEvent* event) {
  const quint32 native = event->nativeScanCode();
  if (native == 0) {
    // Synthesised events carry no position: take the letter the key types.
    switch (event->key()) {
      case Qt::Key_Z:
        return kScanZ;
      case Qt::Key_X:
        return kScanX;
      case Qt::Key_C:
        return kScanC;
      case Qt::Key_V:
        return kScanV;
      case Qt::Key_A:
        return kScanA;
      default:
        return 0;
    }
  }
  const QString platform = QGuiApplication::platformName();
  const bool xkbCodes = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
  return xkbCodes && native >= 8 ? native - 8 : native;
}

}  // namespace

CFilteredEdit::CFilteredEdit(QWidget* parent) : QLineEdit(parent) {}

void CFilteredEdit::SetBeepHook(std::function<void()> hook) {
  BeepHook() = std::move(hook);
}

void CFilteredEdit::Beep() {
  if (BeepHook()) {
    BeepHook()();
  } else {
    QApplication::beep();
  }
}

CFilteredEdit::ShortcutKey CFilteredEdit::ShortcutOf(const QKeyEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    return ShortcutKey::kNone;
  }
  switch (ScanCodeOf(event)) {
    case kScanV:
      return ShortcutKey::kPaste;
    case kScanC:
      return ShortcutKey::kCopy;
    case kScanZ:
      return ShortcutKey::kUndo;
    case kScanX:
      return ShortcutKey::kCut;
    case kScanA:
      return ShortcutKey::kSelectAll;
    default:
      return ShortcutKey::kNone;
  }
}

void CFilteredEdit::keyPressEvent(QKeyEvent* event) {
  switch (ShortcutOf(event)) {
    case ShortcutKey::kPaste:
      paste();
      return;
    case ShortcutKey::kCopy:
      copy();
      return;
    case ShortcutKey::kUndo:
      undo();
      return;
    case ShortcutKey::kCut:
      cut();
      return;
    case ShortcutKey::kSelectAll:
      selectAll();  // leaves the caret at the end, in view
      return;
    case ShortcutKey::kNone:
      break;
  }
  const int key = event->key();
  // Enter and Escape belong to the dialog (default button, cancel), as in any edit.
  if (key == Qt::Key_Backspace || key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
      key == Qt::Key_Enter || key == Qt::Key_Escape) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  const QString text = event->text();
  const bool types = !text.isEmpty() && !(text.size() == 1 && text.at(0).unicode() == 0x7F);
  if (!types) {
    QLineEdit::keyPressEvent(event);  // navigation and editing keys
    return;
  }
  for (const QChar ch : text) {
    if (ch.unicode() >= 128 || !AcceptsCharacter(ch.unicode())) {
      Beep();
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void CFilteredEdit::inputMethodEvent(QInputMethodEvent* event) {
  QString kept;
  bool dropped = false;
  for (const QChar ch : event->commitString()) {
    if (ch.unicode() < 128 && AcceptsCharacter(ch.unicode())) {
      kept += ch;
    } else {
      dropped = true;
    }
  }
  if (!dropped) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  Beep();
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
  QLineEdit::inputMethodEvent(&filtered);
}
