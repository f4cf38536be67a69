#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QMessageBox;
class QWidget;

// Button results, numbered as the program's callers expect them.
enum MessageResult : int {
  IDOK = 1,
  IDCANCEL = 2,
  IDABORT = 3,
  IDRETRY = 4,
  IDIGNORE = 5,
  IDYES = 6,
  IDNO = 7,
};

// Box styles: buttons in the low nibble, icon in the next, system-modal flag.
enum MessageStyle : std::uint32_t {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_SYSTEMMODAL = 0x1000,
};

// Turns a message number into a modal message box with the application's caption. At
// most one box is on screen: showing a box first closes one still open. DelMsg closes boxes
// from the program side (suspend, a utility that must end), and the interrupted ShowMsg
// then reports the button a user would most safely have pressed.
class CMessage {
 public:
  using TextLookup = std::function<std::string(std::int32_t)>;

  explicit CMessage(TextLookup lookup);
  ~CMessage();
  CMessage(const CMessage&) = delete;
  CMessage& operator=(const CMessage&) = delete;

  // The resident window and the setter of its modal flag, kept while a box is up (may be none).
  void SetResidentWindow(QWidget* resident, std::function<void(bool)> setModalFlag) {
    m_resident = resident;
    m_setModalFlag = std::move(setModalFlag);
  }

  int ShowMsg(std::int32_t number, std::uint32_t style, QWidget* owner = nullptr);
  int ShowMsg(std::int32_t number, std::uint32_t style, const std::vector<std::string>& arguments,
              QWidget* owner = nullptr);
  // Test hook: when set, no box is shown; every message goes to the hook instead, with its
  // number, style and final text, and the hook's answer is the button pressed. A window
  // test answers every box this way, so no test can hang behind one.
  using TestHook = std::function<int(std::int32_t number, std::uint32_t style, const std::string& text)>;
  void SetTestHook(TestHook hook) { m_testHook = std::move(hook); }

  // Closes the open boxes (only when owner is null or owns the box being shown).
  bool DelMsg(QWidget* owner = nullptr);

  // The text as shown: each "%s" takes the next argument (removed when none is left) and
  // every backslash-n becomes a line break.
  static std::string FormatText(const std::string& text, const std::vector<std::string>& arguments);
  // The result a box closed by the program reports: Cancel, else No, else Abort, else OK.
  static int EmulatedResult(std::uint32_t style);

  static const char* const kCaption;
  // The caption of the version-information dialog is string 1100.
  static constexpr std::int32_t kVersionCaptionId = 1100;

 private:
  struct OpenBox {
    QPointer<QMessageBox> box;
    QPointer<QWidget> owner;
    std::uint32_t style = 0;
    bool closedByProgram = false;
  };

  int Show(const std::string& text, std::uint32_t style, QWidget* owner);
  void SetResidentModal(bool modal);
  void SettleOwner(QWidget* owner);

  TextLookup m_lookup;
  TestHook m_testHook;
  QWidget* m_resident = nullptr;
  std::function<void(bool)> m_setModalFlag;
  std::vector<OpenBox*> m_open;
};
