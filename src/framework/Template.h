#pragma once

#include "devlink/LinkTypes.h"
#include "framework/FileDialogs.h"
#include "platform/MessageTarget.h"

#include <QDialog>
#include <QFont>
#include <QKeySequence>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class CAppContext;
class CProgressWnd;
class QMenu;

// Window messages a CTemplate handles besides those the device link posts (LinkMessage).
namespace TemplateMessage {
inline constexpr std::uint32_t kDeviceChange = WM_APP + 1;  // wParam 0 attached, 1 detached
inline constexpr std::uint32_t kLanguageChange = WM_APP + 2;
inline constexpr std::uint32_t kHook6A = WM_APP + 0x6A;
inline constexpr std::uint32_t kHook6B = WM_APP + 0x6B;
inline constexpr std::uint32_t kHook6C = WM_APP + 0x6C;
inline constexpr std::uint32_t kErrorNotice = WM_APP + 0x6E;
inline constexpr std::uint32_t kCancel = WM_APP + 0x6F;  // from the progress window
inline constexpr std::uint32_t kHook70 = WM_APP + 0x70;
inline constexpr std::uint32_t kHook74 = WM_APP + 0x74;
inline constexpr std::uint32_t kHookC8 = WM_APP + 0xC8;
inline constexpr std::uint32_t kHookC9 = WM_APP + 0xC9;
inline constexpr std::uint32_t kHookCA = WM_APP + 0xCA;
inline constexpr std::uint32_t kHookCB = WM_APP + 0xCB;
}  // namespace TemplateMessage

// Numbered messages the device operations show.
namespace TemplateMsgId {
inline constexpr std::int32_t kNotResponding = 705;
inline constexpr std::int32_t kError = 706;
inline constexpr std::int32_t kErased = 721;
inline constexpr std::int32_t kNotErased = 722;
inline constexpr std::int32_t kSent = 723;
inline constexpr std::int32_t kCancelled = 724;
inline constexpr std::int32_t kNotTransferred = 725;
inline constexpr std::int32_t kMemoryFull = 762;
inline constexpr std::int32_t kPlayFailed = 763;
}  // namespace TemplateMsgId

// Control and command ids shared by the utility windows (a control's id equals the id of
// its text).
namespace TemplateId {
inline constexpr int kFromDevice = 1000;
inline constexpr int kSend = 1001;
inline constexpr int kErase = 1002;
inline constexpr int kPlayOnDevice = 1003;
inline constexpr int kReserved = 1004;
inline constexpr int kSaveAs = 1005;
inline constexpr int kOpen = 1006;
inline constexpr int kClose = 1007;
inline constexpr int kHelp = 1008;
inline constexpr int kAbout = 1009;
inline constexpr int kPleaseWait = 1016;  // title of the progress window
inline constexpr int kFirstHistory = 1017;
inline constexpr int kLastHistory = 1026;
inline constexpr int kHistorySeparator = 1027;
}  // namespace TemplateId

// The base of every window that talks to the handset: the resident window, the launcher,
// the utilities and their sub-dialogs. It owns what they share:
//  - the utility kind (the application index) and the window handle the link posts to;
//  - the request block and its posting to the device link (SendRequest), and the dispatch
//    of every message the link posts into virtual hooks that the utilities override;
//  - the busy display (disabled content, hourglass, progress window) and the executing
//    value with the deferred model-information change;
//  - the file history kept in the settings store and shown in a menu;
//  - control ids (a widget property), relabelling from the language strings, tooltips.
//
// Controls live in Content(), never directly on the dialog: disabling a window disables
// its content only, so the message boxes and dialogs it owns stay usable.
//
// Every notification and button handler runs under the window's lock. The lock is
// re-entrant because message boxes and file dialogs run nested event loops that dispatch
// further handlers of the same window on the same thread. A window may be destroyed inside
// such a loop; handlers check for that after every box or dialog and then return at once.
//
// Outcome messages of the link carry an owned copy of the reply; hooks receive its bytes
// (ReplyBytes), valid for the call. A received object (WM_APP+0x67) is handed to
// OnItemReceived and given back to the link as soon as the hook returns.
class CTemplate : public QDialog, public IMessageTarget {
  Q_OBJECT

 public:
  using ReplyBytes = std::span<const std::uint8_t>;

  static constexpr std::uint8_t kNoKind = 255;
  // Progress style: the animation kind in the low byte, cancel allowed with this bit.
  static constexpr std::uint32_t kProgressCancel = 0x100;

  // context: the services; null takes CAppContext::Current() at construction.
  explicit CTemplate(QWidget* parent = nullptr, CAppContext* context = nullptr);
  ~CTemplate() override;

  WindowHandle Handle() const { return m_handle; }
  void Deliver(const WindowMessage& message) override;
  CAppContext* Context() const { return m_context; }
  void SetContext(CAppContext* context) { m_context = context; }
  std::uint8_t Kind() const { return m_kind; }

  // ---- controls ------------------------------------------------------------------------
  QWidget* Content() const { return m_content; }
  // Gives a control its id; a button then runs command `id` when clicked.
  void SetControlId(QWidget* control, int id);
  static int ControlId(const QWidget* control);
  // The control of the content with that id, or null.
  QWidget* Control(int id) const;
  // The text of a string id; does nothing when the string is empty.
  void SetControlText(int controlId, int stringId);
  void AddToolTip(int controlId, int stringId);
  // Bold font (which = 0) or the title font.
  void SetControlFont(int controlId, int which);
  struct Placement {
    std::uint16_t id;
    std::int32_t x, y, width, height;
  };
  // Moves and sizes each listed control that exists, up to an entry with id 0.
  void PlaceControls(const Placement* table);
  // Command ids on menu items: each command item (in submenus too) takes the text of its id;
  // the submenus of this menu take the strings firstPopupId + their position (0: kept).
  void RelabelMenu(QMenu* menu, int firstPopupId);
  static void SetCommandId(QAction* action, int id);
  // Adds an item taking the text of stringId (relabelled on a language change) that runs
  // handler when chosen; a shortcut works while any control of this window has the focus.
  QAction* AddCommandItem(QMenu* menu, int stringId, std::function<void()> handler, const QKeySequence& shortcut = {});
  // Runs task once the event being handled is over (the framework finishes its handling of
  // an outcome first), unless the window is gone by then.
  void RunLater(std::function<void()> task);
  // The item of a command id in a menu or its submenus, or null.
  static QAction* MenuItem(QMenu* menu, int id);
  static QAction* MenuItemByText(QMenu* menu, const QString& text);
  static bool EnableMenuItem(QMenu* menu, int id, bool enable);
  static bool CheckMenuItem(QMenu* menu, int id, bool check);
  // Fills a combo box or list widget with {text, item data} rows, replacing what it held.
  struct ListEntry {
    std::string text;
    std::int64_t data;
  };
  static void FillList(QWidget* list, const std::vector<ListEntry>& entries);
  // Appends rows of n text columns to a tree or table view.
  static void FillListView(QWidget* view, const std::vector<std::vector<std::string>>& rows);
  static void SetColumnTitle(QWidget* view, int column, const std::string& title);
  void SetFramedControl(int controlId);
  // Enables or disables the window's content (never the top-level window).
  void EnableContent(bool enable);
  bool IsContentEnabled() const;

  // Runs a sub-dialog modally: the window counts as having a modal child (language changes
  // reach it, a detach keeps this window disabled) and the resident window's modal flag is
  // set. run shows it (default: exec). Returns the dialog's result, or -1 when this window
  // was destroyed meanwhile, which also destroys a child it parents: make such a child on
  // the heap.
  int RunModalChild(QDialog& child, const std::function<int()>& run = {});

  // ---- busy display --------------------------------------------------------------------
  virtual void BeginBusy();
  virtual void CloseSandGlass();
  virtual void CloseAnime();
  virtual void ShowProgressDialog(const std::string& title, const std::string& text, std::uint32_t style,
                                  const std::vector<std::string>& arguments);
  virtual void ShowProgressDialogEx(const std::string& title, const std::string& text, std::uint32_t style,
                                    const std::vector<std::string>& arguments);
  virtual void ForceEndBusy();
  bool IsBusyCursor() const { return m_busyCursor; }
  // The progress window, owned by this window (null only when it could not be made).
  CProgressWnd* ProgressWindow() const { return m_progress; }

  // ---- executing value -----------------------------------------------------------------
  void SetExtcuting(std::uint8_t value);
  std::uint8_t Executing() const { return m_executing; }
  bool ModelInfoChangePending() const { return m_modelInfoChange; }

  // ---- device operations ---------------------------------------------------------------
  // Posts requestCode with the request block to the link. False when nothing was sent:
  // no handset (busy display closed silently) or the link refused (busy display closed,
  // message 706).
  virtual bool SendRequest();
  virtual void StartUtility();
  virtual void SendKeyOperationStart();
  virtual void SendKeyOperationEnd();
  virtual void SendStatusStart();
  virtual void SendStatusEnd();
  virtual bool SendNext();
  virtual void DisableDeviceButtons();
  bool IsCancelled() const { return m_cancelled; }
  bool StartFailed() const { return m_startFailed; }
  std::uint8_t StartPhase() const { return m_startPhase; }
  RequestParams& Params() { return m_params; }
  std::uint32_t RequestCode() const { return m_requestCode; }
  void SetRequestCode(std::uint32_t code) { m_requestCode = code; }
  void SetProgressMessage(std::int32_t stringId, const std::vector<std::string>& texts, std::uint32_t style);

  // Runs a command as its button or menu item would.
  void RunCommand(int id);

  // ---- file history --------------------------------------------------------------------
  void LoadFileHistory();
  void AddFileHistory(const std::string& path);
  void OnFileHistory(int id);
  const std::vector<std::string>& FileHistory() const { return m_history; }
  std::uint32_t FileHistMax() const { return m_fileHistMax; }
  // The menu that receives the history items, inserted before `before` (null: at the end).
  void SetHistoryMenu(QMenu* menu, QAction* before = nullptr);
  static std::string HistoryKey(std::uint8_t kind);
  // Menu label of a path: whole when it has at most `max` characters, else shortened
  // around its file name; every '&' is doubled.
  static std::string AbbreviatePath(std::size_t max, const std::string& path);
  const std::string& LastPath() const { return m_lastPath; }
  void SetLastPath(const std::string& path) { m_lastPath = path; }

  // ---- files ---------------------------------------------------------------------------
  virtual std::string BrowseForOpen(const std::string& defaultExtension, std::uint32_t flags, const std::string& filter,
                                    const std::string& defaultFolder = {});
  virtual std::string BrowseForSave(const std::string& defaultExtension, const std::string& fileName,
                                    std::uint32_t flags, const std::string& filter,
                                    const std::string& initialFolder = {});
  virtual std::string GetInitialFolder(const std::string& defaultText);
  // Chooses an existing folder; empty when cancelled.
  std::string BrowseForFolder(const std::string& initialFolder);
  static std::string DocumentsFolder();

  // ---- relabelling ---------------------------------------------------------------------
  virtual void RelabelControls();
  virtual void AddKindToolTips();
  virtual void SetDialogIcon();
  static int ToolTipBase(std::uint8_t kind);
  static int HelpTopic(std::uint8_t kind);

  // Keeps the bytes of a device-information reply: at most 16, the rest zero.
  void StoreDeviceInfo(ReplyBytes reply);

  // Dispatches one window message to its handler (as a posted message would be).
  void OnWindowMessage(const WindowMessage& message);

 protected:
  void SetKind(std::uint8_t kind) { m_kind = kind; }
  void SetStatusArg(std::uint8_t value) { m_statusArg = value; }
  void SetNextArg(std::uint8_t value) { m_nextArg = value; }
  std::uint8_t NextArg() const { return m_nextArg; }
  void SetKeepBusy(bool keep) { m_keepBusy = keep; }
  void SetModalOpen(bool open) { m_modalOpen = open; }
  bool IsModalOpen() const { return m_modalOpen; }
  void SetModalChild(QWidget* child) { m_modalChild = child; }
  // Shows a numbered message owned by this window; 0 when there is no presenter or text.
  int ShowMsg(std::int32_t number, std::uint32_t style, const std::vector<std::string>& arguments = {});
  QString Text(std::int32_t id) const;
  std::string String(std::int32_t id) const;

  // Qt plumbing.
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Sizes the window to its background picture and centres it.
  virtual void FitToBackground();
  // Enter and Escape never close a utility window.
  void accept() override {}
  void reject() override {}

  // ---- window operations ---------------------------------------------------------------
  virtual bool QueryClose();
  virtual void ShowAbout();
  // Ends the window (after QueryClose agreed).
  virtual void EndWindow();

  // ---- button handlers -----------------------------------------------------------------
  virtual void OnDeviceButton(int id);
  virtual bool OnSaveAs() { return true; }
  virtual bool OnOpen() { return true; }
  virtual void OnHelp();
  virtual void OnClose();
  virtual void OnHistoryCommand(int /*id*/) {}
  virtual void ShowOperationProgress(int buttonId);
  virtual bool Prepare1000() { return true; }
  virtual bool Prepare1001() { return true; }
  virtual bool Prepare1002() { return true; }
  virtual bool Prepare1003() { return true; }
  // Fills the request for the next object of a chained send or erase; false ends the chain.
  // A utility that chains sets arg1 from NextArg() and answers true.
  virtual bool PrepareNextSend() { return false; }
  virtual bool OnUtilityStartDone() { return true; }
  virtual bool OnUtilityEndDone() { return true; }

  // ---- message handlers ----------------------------------------------------------------
  virtual void OnRequestComplete(std::uint32_t code, ReplyBytes reply);
  virtual void OnRequestNoResponse(std::uint32_t code);
  virtual void OnRequestFailed(std::uint32_t code, ReplyBytes reply);
  virtual void OnReceivedItem(std::uint32_t code, const ReceivedItem* item);
  virtual void OnWmAppE93Ind();
  virtual void OnWmAppE94Ind();
  virtual void OnWmAppPlayStopInd(std::uint32_t code);
  virtual void OnWmAppErrorNotice();
  virtual void OnWmAppLanguageChange();
  virtual void OnWmAppDeviceChange(std::uintptr_t wParam, std::intptr_t lParam);
  virtual void OnWmAppCancel();
  virtual void OnWmAppProgress(std::uint64_t done, std::uint64_t total);
  virtual void OnWmAppModelInfoChange();
  // Messages without a base behaviour (0x6A..0x6C, 0x70..0x72, 0x74, 0xC8..0xCB).
  virtual void OnOtherMessage(const WindowMessage& /*message*/) {}

  // ---- completion hooks ----------------------------------------------------------------
  virtual bool OnKeyOperationDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnStatusDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnReadCountDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnReadDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnWriteDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnEraseDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnPlayDone(std::uint32_t code, ReplyBytes reply);
  virtual bool OnOtherDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }

  // ---- operation hooks -----------------------------------------------------------------
  virtual bool CheckReadResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterReadDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool EndReadBusy() {
    CloseAnime();
    return true;
  }
  virtual bool CheckWriteResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterWriteDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool EndWriteBusy() {
    CloseAnime();
    return true;
  }
  virtual bool CheckEraseResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterEraseDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool EndEraseBusy() {
    CloseAnime();
    return true;
  }
  virtual bool AfterPlayDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool BeforeReadCountDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterReadCountDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool OnPlayStopIndication(std::uint32_t /*code*/) { return true; }
  virtual bool OnNoResponse(std::uint32_t /*code*/) { return true; }
  virtual bool OnOtherFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  // The object's bytes are valid for the call only; the hook copies what it keeps.
  virtual bool OnItemReceived(std::uint32_t /*code*/, ReplyBytes /*object*/) { return true; }
  virtual bool OnIndicationE93() { return true; }
  virtual bool OnIndicationE94() { return true; }
  virtual bool OnLanguageChanged() { return true; }
  virtual bool OnDeviceAttached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) { return true; }
  virtual bool OnDeviceDetached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) { return true; }
  virtual bool OnCancelRequested(std::uint32_t /*code*/) { return true; }
  virtual bool BeforeReadFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterReadFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool BeforeWriteFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterWriteFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool BeforeEraseFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterEraseFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool BeforePlayFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterPlayFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool BeforeReadCountFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }
  virtual bool AfterReadCountFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) { return true; }

 private:
  // Holds the window's lock for a handler; survives the window being destroyed meanwhile.
  class HandlerLock {
   public:
    explicit HandlerLock(CTemplate* window);
    ~HandlerLock();
    HandlerLock(const HandlerLock&) = delete;
    HandlerLock& operator=(const HandlerLock&) = delete;
    bool Alive() const { return !m_window.isNull(); }

   private:
    QPointer<CTemplate> m_window;
  };

  struct FailureRow {
    bool (CTemplate::*before)(std::uint32_t, ReplyBytes);
    bool (CTemplate::*after)(std::uint32_t, ReplyBytes);
    std::int32_t message;
  };

  struct SuccessRow {
    bool (CTemplate::*check)(std::uint32_t, ReplyBytes);
    bool (CTemplate::*endBusy)();
    bool (CTemplate::*after)(std::uint32_t, ReplyBytes);
    std::int32_t message;
    bool chain;
  };

  bool FinishOperation(const SuccessRow& row, std::uint32_t code, ReplyBytes reply, bool endWhenRejected);
  void DispatchCompletion(std::uint32_t code, ReplyBytes reply);
  void ReportFailure(std::uint32_t code, ReplyBytes reply, const FailureRow& row, std::int32_t message,
                     std::uint32_t style, bool showMessage);
  void ApplyStartFailedRule(std::uint32_t code);
  void SettleEnabledState();
  void ClearRequest(std::uint32_t kind, std::uint32_t code);
  void RemoveHistoryItems();
  void RebuildHistoryItems();
  void WriteFileHistory();
  void SetBusyCursor(bool on);
  CTemplate* BusyWindowOwner() const;
  IFileDialogs& FileDialogs() const;
  IFileDialogs::Answer RunFileDialog(const IFileDialogs::Request& request, bool save);

  CAppContext* m_context;
  WindowHandle m_handle = 0;
  QWidget* m_content = nullptr;
  std::string m_lastPath;
  std::string m_fileFolder;
  QPointer<QWidget> m_modalChild;
  QPointer<QMenu> m_historyMenu;
  QPointer<QAction> m_historyBefore;
  bool m_modelInfoChange = false;
  bool m_modelInfoNoticeDue = false;  // the resident window has not been told of the change yet
  bool m_modalOpen = false;
  std::uint8_t m_kind = kNoKind;
  RequestParams m_params;
  std::uint32_t m_requestCode = 0;
  std::uint8_t m_nextArg = 0;
  std::uint8_t m_startPhase = 0;
  std::uint8_t m_statusArg = 0;
  bool m_busyCursor = false;
  std::uint8_t m_executing = 0;
  bool m_startFailed = false;
  CProgressWnd* m_progress = nullptr;
  QFont m_boldFont;
  QFont m_titleFont;
  int m_framedControl = 0;
  std::int32_t m_progressMessageId = 0;
  std::vector<std::string> m_progressTexts;
  std::uint32_t m_progressStyle = 0;
  bool m_cancelled = false;
  std::recursive_mutex m_lock;
  int m_lockDepth = 0;
  std::vector<std::string> m_history;
  std::string m_selectedHistoryPath;
  bool m_historyChosen = false;
  bool m_keepBusy = false;
  std::uint32_t m_fileHistMax = 5;
  std::string m_selectedFilter;
};
