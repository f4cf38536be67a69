#pragma once

#include <QLineEdit>
#include <functional>

class QInputMethodEvent;
class QKeyEvent;

// A line edit that lets through only the characters its variant accepts; anything else
// beeps and is dropped. Keys that type nothing (arrows, Delete, Home ...) work as usual,
// and the clipboard shortcuts Ctrl+V, Ctrl+C, Ctrl+Z and Ctrl+X pass; Ctrl+A selects the
// whole text. The shortcut keys are recognised by their position on the keyboard, so they
// work whatever the keyboard layout.
class CFilteredEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CFilteredEdit(QWidget* parent = nullptr);

  // Test hook: called instead of the system beep while set.
  static void SetBeepHook(std::function<void()> hook);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Text composed by an input method (dead keys, compose sequences) is typed text too.
  void inputMethodEvent(QInputMethodEvent* event) override;

  // Whether a typed character passes (backspace and tab always do).
  virtual bool AcceptsCharacter(char16_t ch) const = 0;

 private:
  enum class ShortcutKey { kNone, kPaste, kCopy, kUndo, kCut, kSelectAll };
  static ShortcutKey ShortcutOf(const QKeyEvent* event);
  static void Beep();
};
