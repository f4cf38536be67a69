#pragma once

#include "platform/WindowMessage.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CAnimationView;
class QLabel;
class QPushButton;

// The progress window a utility shows while the handset works: three lines of message,
// a looping animation of the operation, a "( done / total )" line and, when the operation
// may be cancelled, a Cancel button. Cancel (the button, the close box or Escape) posts
// the cancel request once to the owner window, which cancels the operation and closes this
// window; the window never closes itself. Without cancel the close box is greyed and
// Escape and close requests are ignored.
class CProgressWnd : public QDialog {
  Q_OBJECT

 public:
  using TextLookup = std::function<std::string(std::int32_t)>;

  static constexpr int kDialogId = 200;
  static constexpr int kMessageId = 201;
  static constexpr int kAnimationId = 202;
  static constexpr int kCancelId = 203;
  static constexpr int kProgressId = 209;
  // Posted to the owner when the user cancels (no parameters).
  static constexpr std::uint32_t kCancelMessage = WM_APP + 0x6F;

  // lookup gives the Cancel button's text (string 203); owner receives the cancel request.
  explicit CProgressWnd(TextLookup lookup, WindowHandle owner = 0, QWidget* parent = nullptr);
  ~CProgressWnd() override;

  void SetOwner(WindowHandle owner) { m_owner = owner; }
  WindowHandle Owner() const { return m_owner; }

  // Shows the window with its title, its message (each "%s" takes the next argument, each
  // backslash-n breaks the line) and the animation of the kind, and starts playing.
  void Open(const std::string& title, const std::string& text, int animationKind, bool cancelAllowed,
            const std::vector<std::string>& arguments = {});
  // Stops the animation and hides the window; nothing when not open.
  void Close();
  bool IsOpen() const { return m_open; }
  // Shows "( done / total )".
  void Progress(std::uint64_t done, std::uint64_t total);
  // A language change while open: new title and message, Cancel relabelled.
  void Relabel(const std::string& title, const std::string& text, const std::vector<std::string>& arguments = {});

  static std::string FormatProgress(std::uint64_t done, std::uint64_t total);

  bool CloseEnabled() const { return m_closeEnabled; }
  QString MessageText() const;
  QString ProgressText() const;
  CAnimationView* Animation() const { return m_animation; }
  QPushButton* CancelButton() const { return m_cancel; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildControls();
  void RequestCancel();
  void SetCloseEnabled(bool enabled);
  void CentreOnParent();

  TextLookup m_lookup;
  WindowHandle m_owner = 0;
  bool m_open = false;
  bool m_closeEnabled = true;
  QLabel* m_message = nullptr;
  CAnimationView* m_animation = nullptr;
  QLabel* m_progress = nullptr;
  QPushButton* m_cancel = nullptr;
};
