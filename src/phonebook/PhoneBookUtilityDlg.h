#pragma once

#include "framework/Template.h"
#include "phonebook/HandsetRecord.h"
#include "phonebook/PhonebookEntry.h"
#include "phonebook/PhonebookList.h"

#include <QPointer>
#include <filesystem>
#include <string>
#include <vector>

class CCharSetEdit;
class CImportWorker;
class CPhoneBookOutlookImport;
class CPhonebookListModel;
class QEventLoop;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QTableView;

// The phonebook utility (application index 3): the Computer list (the PC phonebook, kept in
// .phb files) and the Handset list (the handset's phonebook) side by side, with editing,
// copying between the lists, search, the file commands and the transfer to and from the
// handset.
//
// The handset's phonebook must never be lost. A send erases the handset and writes the
// Handset list back record by record; before the erase the window holds a complete copy of
// what the handset held (a receive that ended normally) and has written it to the send
// cache. A receive that failed, was cancelled, timed out or lost the handset is no copy:
// the send stops before the erase. The cache survives a broken or cancelled send and is
// offered again when the handset is next ready; it is removed only after the last record
// of a send was written.
class CPhoneBookUtilityDlg : public CTemplate {
  Q_OBJECT
  // The import from Outlook works on the Computer list and the busy display.
  friend class CPhoneBookOutlookImport;

 public:
  // Control ids (a control's id is also the id of its text).
  static constexpr int kComputerList = 4018;
  static constexpr int kHandsetList = 4017;
  static constexpr int kNew = 4005;
  static constexpr int kSave = TemplateId::kSaveAs;  // 1005: Save
  static constexpr int kOpenFile = TemplateId::kOpen;
  static constexpr int kComputerAdd = 4082;
  static constexpr int kHandsetAdd = 4083;
  static constexpr int kComputerEdit = 4084;
  static constexpr int kHandsetEdit = 4085;
  static constexpr int kComputerErase = 4086;
  static constexpr int kHandsetErase = 4087;
  static constexpr int kToHandset = 4013;
  static constexpr int kToComputer = 4014;
  static constexpr int kSearchEdit = 4015;
  static constexpr int kSearch = 4004;
  static constexpr int kCurrentFileLabel = 4077;
  static constexpr int kCurrentFilePath = 4078;
  static constexpr int kImport = 4081;
  static constexpr int kReceiveCallerList = 4007;
  static constexpr int kImportFromOutlook = 4010;
  // Menu commands.
  static constexpr int kMenuSend = 44021;
  static constexpr int kMenuSaveAs = 44022;
  static constexpr int kMenuSave = 44023;
  static constexpr int kMenuOpen = 44024;
  static constexpr int kMenuNew = 44025;
  static constexpr int kMenuExit = 44016;
  static constexpr int kMenuImport = 44017;
  static constexpr int kMenuComputerAdd = 44013;
  static constexpr int kMenuComputerEdit = 44012;
  static constexpr int kMenuComputerErase = 44011;
  static constexpr int kMenuComputerSelectAll = 44010;
  static constexpr int kMenuHandsetAdd = 44008;
  static constexpr int kMenuHandsetEdit = 44007;
  static constexpr int kMenuHandsetErase = 44006;
  static constexpr int kMenuHandsetSelectAll = 44005;
  static constexpr int kMenuCut = 44031;
  static constexpr int kMenuCopy = 44030;
  static constexpr int kMenuPaste = 44029;
  static constexpr int kMenuHelp = 44003;
  static constexpr int kMenuVersion = 44002;
  static constexpr int kMenuExportVCard = 44018;
  static constexpr int kMenuExportCsv = 44019;
  static constexpr int kMenuExport = 44020;  // the File menu's Export item (a submenu here)
  // Context menu commands of the Computer list (menu 4042) and the Handset list (4043).
  static constexpr int kComputerContextMenu = 4042;
  static constexpr int kHandsetContextMenu = 4043;
  static constexpr int kContextExportVCard = 44026;
  static constexpr int kContextExportCsv = 44027;
  static constexpr int kContextComputerSelectAll = 44028;
  static constexpr int kContextComputerErase = 44032;
  static constexpr int kContextComputerEdit = 44033;
  static constexpr int kContextComputerAdd = 44034;
  static constexpr int kContextHandsetSelectAll = 44035;
  static constexpr int kContextHandsetErase = 44036;
  static constexpr int kContextHandsetEdit = 44037;
  static constexpr int kContextHandsetAdd = 44038;
  // Accelerator commands: Edit (Ctrl+E) and Add (Ctrl+A) on the list that has the focus.
  static constexpr int kEditFocused = 4100;
  static constexpr int kAddFocused = 4101;

  // Executing values of the phonebook's operations.
  static constexpr std::uint8_t kReceiving = 1;
  static constexpr std::uint8_t kSending = 2;
  static constexpr std::uint8_t kReceivingCallers = 3;
  static constexpr std::uint8_t kImporting = 7;
  static constexpr std::uint8_t kExporting = 8;
  static constexpr std::uint8_t kSavingFile = 9;
  static constexpr std::uint8_t kOpeningFile = 10;
  // Messages the window posts to itself: the receive ahead of a send ended (complete or
  // not), and the send started by closing ended (sent, failed, no response).
  static constexpr std::uint32_t kPreReceiveEnded = WM_APP + 0x1F6;
  static constexpr std::uint32_t kExitSent = WM_APP + 0x190;
  static constexpr std::uint32_t kExitFailed = WM_APP + 0x191;
  static constexpr std::uint32_t kExitNoResponse = WM_APP + 0x192;

  explicit CPhoneBookUtilityDlg(QWidget* parent = nullptr, CAppContext* context = nullptr);
  ~CPhoneBookUtilityDlg() override;

  // Runs a command of a button or menu item (the window's own and the base class's).
  void OnCommand(int id);

  const CPhonebookList& ComputerList() const { return m_computer; }
  const CPhonebookList& HandsetList() const { return m_handset; }
  QTableView* ComputerView() const { return m_pcView; }
  QTableView* HandsetView() const { return m_devView; }
  QMenuBar* MenuBar() const { return m_menuBar; }
  QMenu* ContextMenu(int menuId) const { return menuId == kComputerContextMenu ? m_pcContext : m_devContext; }
  const std::string& CurrentPath() const { return m_path; }
  bool ComputerChanged() const { return m_pcEdit; }
  bool HandsetChanged() const { return m_devEdit; }
  bool NoDevice() const { return m_noDevice; }
  const std::vector<PhonebookEntry>& ReceivedEntries() const { return m_received; }
  const std::filesystem::path& SendCacheFile() const { return m_cachePath; }
  int Capacity() const;
  // The entry dialog while it is open (tests fill and press it).
  QDialog* OpenSubDialog() const { return m_subDialog; }
  void SetSendCacheFile(const std::filesystem::path& path) { m_cachePath = path; }

 protected:
  // ---- window --------------------------------------------------------------------------
  void RelabelControls() override;
  void FitToBackground() override;
  void paintEvent(QPaintEvent* event) override;
  bool QueryClose() override;
  void EndWindow() override;
  bool OnSaveAs() override;
  bool OnOpen() override;
  void OnHistoryCommand(int id) override;
  void OnOtherMessage(const WindowMessage& message) override;
  bool OnLanguageChanged() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // ---- handset -------------------------------------------------------------------------
  bool Prepare1000() override;
  bool Prepare1001() override;
  bool OnUtilityStartDone() override;
  bool OnItemReceived(std::uint32_t code, ReplyBytes object) override;
  bool BeforeReadCountDone(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadCountDone(std::uint32_t code, ReplyBytes reply) override;
  bool OnEraseDone(std::uint32_t code, ReplyBytes reply) override;
  bool OnWriteDone(std::uint32_t code, ReplyBytes reply) override;
  void OnRequestFailed(std::uint32_t code, ReplyBytes reply) override;
  bool OnNoResponse(std::uint32_t code) override;
  bool OnCancelRequested(std::uint32_t code) override;
  bool OnIndicationE93() override;
  bool OnIndicationE94() override;
  bool OnDeviceAttached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnDeviceDetached(std::uintptr_t wParam, std::intptr_t lParam) override;
  void OnWmAppCancel() override;

 private:
  enum class Side { Computer, Handset };
  // How the receive that runs ahead of a send ended.
  enum class PreReceive { Running, Complete, Failed, Cancelled };

  // ---- layout (PhoneBookUtilityDlg.cpp) ------------------------------------------------
  void BuildControls();
  void BuildMenus();
  QPushButton* MakeButton(int id);
  QTableView* MakeListView(int id, CPhonebookListModel* model);
  void AddMenuItem(QMenu* menu, int id);
  void UpdateTitle();

  // ---- editing (PhoneBookEditing.cpp) --------------------------------------------------
  CPhonebookList& List(Side side) { return side == Side::Computer ? m_computer : m_handset; }
  QTableView* View(Side side) const { return side == Side::Computer ? m_pcView : m_devView; }
  std::vector<std::size_t> SelectedRows(Side side) const;
  void SelectRow(Side side, int row, bool only);
  void ListChanged(Side side);
  void MarkChanged(Side side);
  void AddEntry(Side side);
  void EditEntry(Side side);
  void EraseEntries(Side side);
  void SelectAll(Side side);
  void CopyEntries(Side from);
  void Search();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // What the enabling of buttons and menu items depends on, taken once per update.
  struct ListState {
    std::size_t pcSelected = 0;
    std::size_t devSelected = 0;
    bool pcRows = false;
    bool devRows = false;
    bool handsetRoom = false;
  };
  ListState CurrentListState() const;
  void UpdateButtons();
  void EnableItem(int id, bool enable);
  bool RunEntryDialog(std::string& name, std::string& number);

  // ---- files (PhoneBookFiles.cpp) ------------------------------------------------------
  bool AskSaveBeforeDiscard();
  void NewPhonebook();
  bool OpenPhonebook(const std::string& chosenPath);
  bool SavePhonebook(bool askPath);
  void SetCurrentFile(const std::string& path);
  std::string PhonebookFilter() const;

  // ---- import (PhoneBookImport.cpp) ---------------------------------------------------
  void Import();
  void ImportFromFile();
  void ReceiveCallerList();
  void AddCallers();

  // ---- columns of CSV and vCard files (PhoneBookImportColumns.cpp) ----------------------
  bool ImportFromColumns(int kind, const std::string& path, bool addMode, std::size_t& imported);
  std::string ImportFilter() const;

  // ---- export (PhoneBookExport.cpp) ----------------------------------------------------
  void ExportCsv();
  void ExportVCards();
  std::string ExportStartFolder();

  // ---- menus and keys (PhoneBookMenus.cpp) ---------------------------------------------
  void BuildExtraMenus();
  void SetButtonImages();
  void RelabelExtraMenus();
  void UpdateExtraItems(const ListState& state);
  void ShowContextMenu(Side side, const QPoint& position);
  // Runs the commands of the export, context menus and accelerators; false for any other id.
  bool OnExtraCommand(int id);

  // ---- handset (PhoneBookTransfer.cpp) -------------------------------------------------
  void EvaluateFreeEdit();
  void RestoreSendCache();
  void StartReceive();
  void SetUpPhonebookRead();
  PreReceive ReceiveBeforeSend();
  void EndPreReceive(PreReceive outcome);
  bool SendRecord();
  void FinishSend();
  void HandsetGone();
  void TellSubDialog(bool attached);
  bool StartSequenceRefused(std::uint32_t code) const;
  void PostToSelf(std::uint32_t message);
  bool ImportRunning() const;
  void RunPostponedAfterImport();

  CPhonebookList m_computer;
  CPhonebookList m_handset;
  CPhonebookListModel* m_pcModel = nullptr;
  CPhonebookListModel* m_devModel = nullptr;
  QTableView* m_pcView = nullptr;
  QTableView* m_devView = nullptr;
  CCharSetEdit* m_search = nullptr;
  QLabel* m_pathLabel = nullptr;
  QMenuBar* m_menuBar = nullptr;
  QMenu* m_fileMenu = nullptr;
  QMenu* m_editMenu = nullptr;
  QMenu* m_helpMenu = nullptr;
  QMenu* m_exportMenu = nullptr;
  QMenu* m_pcContext = nullptr;
  QMenu* m_devContext = nullptr;
  CImportWorker* m_importer = nullptr;
  QPointer<QDialog> m_subDialog;

  std::string m_path;
  std::string m_fileName;
  bool m_pcEdit = false;
  bool m_devEdit = false;
  bool m_noDevice = true;
  bool m_closing = false;
  bool m_leaveWithoutAsking = false;
  bool m_freeEdit = true;
  // A handset attached while an import ran: its "FreeEdit" evaluation and its receive wait
  // until the import's result is in the Computer list (the import formats the numbers it
  // adds with the value it started with). A detach meanwhile drops them.
  bool m_freeEditPending = false;
  bool m_restorePending = false;
  // Cancel was pressed in the progress window of the running CSV or vCard import.
  bool m_importCancelled = false;

  // Handset transfer.
  std::filesystem::path m_cachePath;
  std::vector<PhonebookEntry> m_received;
  std::size_t m_itemsReceived = 0;
  bool m_receiveComplete = false;  // the received table is a whole copy of the handset
  bool m_receiveFailed = false;
  bool m_memoryError = false;
  bool m_waitingSend = false;
  PreReceive m_preReceive = PreReceive::Running;
  QEventLoop* m_preReceiveLoop = nullptr;
  std::vector<CallerIdEntry> m_callers;
  // The entries of a restored send cache, with their attribute bytes: a send that follows
  // gives an entry the handset no longer holds its bytes back from here.
  std::vector<PhonebookEntry> m_cacheEntries;
  std::vector<PhonebookEntry> m_sendQueue;
  std::size_t m_sendTotal = 0;
  std::size_t m_written = 0;
  HandsetPhonebookRecord m_record;
  QEventLoop* m_closeLoop = nullptr;
  bool m_closeSending = false;  // closing runs the send it asked about (775) and waits for it
  std::uint32_t m_closeResult = 0;
  // The import from Outlook while it runs (its job's messages and Cancel go to it).
  CPhoneBookOutlookImport* m_outlookImport = nullptr;
};
