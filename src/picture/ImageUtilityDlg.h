#pragma once

#include "framework/Template.h"
#include "picture/HandsetPictureList.h"
#include "picture/ImageEditor.h"
#include "picture/PictureKind.h"
#include "picture/PictureRecord.h"
#include "picture/ToneAdjustDlg.h"

#include <QPointer>
#include <array>
#include <optional>
#include <string>
#include <vector>

class CCharSetEdit;
class CImageView;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// Control, string and command ids of the picture window.
namespace ImageUtilityId {
inline constexpr int kTitle = 3000;
inline constexpr int kWallpaper = 3003;
inline constexpr int kPictureId = 3004;
inline constexpr int kEnlarge = 3005;
inline constexpr int kReduce = 3006;
inline constexpr int kRotateRight = 3007;
inline constexpr int kRotateLeft = 3008;
inline constexpr int kContrast = 3009;
inline constexpr int kColor = 3010;
inline constexpr int kCurrentFileLabel = 3011;
inline constexpr int kNameLabel = 3012;
inline constexpr int kHandsetLabel = 3013;
inline constexpr int kCurrentFile = 3014;
inline constexpr int kHandsetList = 3017;
inline constexpr int kName = 3018;
inline constexpr int kNumberColumn = 3019;
inline constexpr int kNameColumn = 3020;
inline constexpr int kPreviewLabel = 3021;
inline constexpr int kFreeSpace = 3022;
inline constexpr int kFreeItems = 3023;
inline constexpr int kShow = 3025;
inline constexpr int kKindLabel = 3026;
// Commands of menu items without a button.
inline constexpr int kSave = 43001;
inline constexpr int kOriginalSize = 43008;
inline constexpr int kShowPreview = 43013;
}  // namespace ImageUtilityId

// The picture utility: opens an image file, adjusts it (scale, rotation, contrast and
// brightness, colour), frames the part the handset shows, saves it, and sends it to the
// handset as a wallpaper or picture ID; lists, receives and erases the handset's pictures.
//
// What the handset will show (the preview) is the part under the target frame, encoded as
// the handset record and decoded again. Handset operations do not chain: a completed send,
// receive or erase shows this window's own message and lists the handset again.
class CImageUtilityDlg : public CTemplate {
  Q_OBJECT

 public:
  explicit CImageUtilityDlg(QWidget* parent = nullptr, CAppContext* context = nullptr);
  ~CImageUtilityDlg() override;

  // Runs a command of a button, a menu item or a key.
  void OnCommand(int id);
  // Opens an image file as Open does after its dialog; false (message 732) when it cannot be read.
  bool OpenFile(const std::string& path);
  // Saves to the current file, or asks for a name when there is none or its extension
  // names no image format. False when nothing was saved.
  bool Save();
  bool SaveAs();

  // ---- state the window shows ----------------------------------------------------------
  const CImageEditor& Editor() const { return m_editor; }
  PictureKind Kind() const { return m_pictureKind; }
  void SetPictureKind(PictureKind kind);
  bool IsConnectedState() const { return m_connected; }
  const std::string& CurrentFile() const { return m_currentFile; }
  const CHandsetPictureList& HandsetList() const { return m_list; }
  std::optional<std::uint16_t> FreeItems(PictureKind kind) const { return m_freeItems[Index(kind)]; }
  // What the handset will show: the framed part, encoded and decoded (empty before an image).
  const CRgbImage& Preview() {
    FlushPreview();
    return m_preview;
  }
  const CRgbImage& PreviewThumbnail() {
    FlushPreview();
    return m_previewThumbnail;
  }
  bool IsListing() const { return m_listStep != ListStep::Idle; }
  CImageView* View() const { return m_view; }
  CCharSetEdit* NameEdit() const { return m_nameEdit; }
  QTreeWidget* ListView() const { return m_listView; }
  QLabel* FreeLabel() const { return m_freeLabel; }
  QMenuBar* MenuBar() const { return m_menuBar; }
  CToneAdjustDlg* ToneDialog() const { return m_toneDialog; }

  // The handset characters a name may hold.
  static QString HandsetCharacters();

 protected:
  // ---- CTemplate hooks -----------------------------------------------------------------
  void RelabelControls() override;
  std::string GetInitialFolder(const std::string& defaultText) override;
  bool OnOpen() override;
  bool OnSaveAs() override;
  void OnHistoryCommand(int id) override;
  bool QueryClose() override;
  void EndWindow() override;
  bool SendNext() override;
  bool Prepare1000() override;
  bool Prepare1001() override;
  bool Prepare1002() override;
  bool OnItemReceived(std::uint32_t code, ReplyBytes object) override;
  bool CheckReadResult(std::uint32_t code, ReplyBytes reply) override;
  bool CheckWriteResult(std::uint32_t code, ReplyBytes reply) override;
  bool CheckEraseResult(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadCountDone(std::uint32_t code, ReplyBytes reply) override;
  bool OnOtherDone(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadCountFailed(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadFailed(std::uint32_t code, ReplyBytes reply) override;
  bool AfterWriteFailed(std::uint32_t code, ReplyBytes reply) override;
  bool AfterEraseFailed(std::uint32_t code, ReplyBytes reply) override;
  bool OnOtherFailed(std::uint32_t code, ReplyBytes reply) override;
  bool OnNoResponse(std::uint32_t code) override;
  bool OnDeviceAttached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnDeviceDetached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnLanguageChanged() override;

  // ---- Qt ------------------------------------------------------------------------------
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  enum class ListStep { Idle, Wallpapers, PictureIds, FreeKilobytes, FreeWallpapers, FreePictureIds };

  static std::size_t Index(PictureKind kind) { return kind == PictureKind::Wallpaper ? 0 : 1; }

  // Window building (ImageUtilityDlgLayout.cpp).
  void BuildControls();
  void BuildMenus();
  QPushButton* AddButton(int id);
  void AddMenuItem(QMenu* menu, int stringId, int command, const QKeySequence& shortcut);
  void RelabelMenus();

  // Image side.
  void DeviceStatusCheck();
  void ImageChanged();
  // Marks the preview out of date; it is rebuilt once the events waiting now are handled,
  // so that a slider dragged over many steps encodes it once, not at every step.
  void RebuildPreview();
  void FlushPreview();
  void ShowPreviewImages();
  void ShowCurrentFile();
  void UpdateButtons();
  void Enlarge();
  void Reduce();
  void RunToneDialog(bool colour);
  void ShowPreviewDialog();
  bool SaveTo(const std::string& path, CImageFile::Format format);
  bool AskSaveBeforeReplacing();

  // Handset side (ImageUtilityDlgHandset.cpp).
  void StartListing();
  void StartListingLater();
  void IssueListStep();
  void EndListing();
  void FillListView();
  void ShowFreeSpace();
  std::optional<CHandsetPictureList::ItemRef> SelectedItem(std::string* name) const;
  bool HasRoomFor(PictureKind kind) const;

  CImageEditor m_editor;
  PictureKind m_pictureKind = PictureKind::Wallpaper;
  bool m_connected = false;
  bool m_noResponse = false;
  std::string m_currentFile;
  int m_saveFormat = 0;
  CRgbImage m_preview;
  CRgbImage m_previewThumbnail;
  bool m_previewStale = false;
  bool m_previewScheduled = false;
  // The received record and what it decodes to, while the received picture is current.
  std::vector<std::uint8_t> m_receivedBuffer;
  std::optional<CPictureRecord::Decoded> m_received;
  std::vector<std::uint8_t> m_sendBuffer;
  CHandsetPictureList m_list;
  std::array<std::optional<std::uint16_t>, 2> m_freeItems;
  ListStep m_listStep = ListStep::Idle;

  CImageView* m_view = nullptr;
  QLabel* m_previewLabel = nullptr;
  QLabel* m_thumbnailLabel = nullptr;
  QLineEdit* m_currentFileEdit = nullptr;
  CCharSetEdit* m_nameEdit = nullptr;
  QTreeWidget* m_listView = nullptr;
  QLabel* m_freeLabel = nullptr;
  QRadioButton* m_wallpaperButton = nullptr;
  QRadioButton* m_pictureIdButton = nullptr;
  QMenuBar* m_menuBar = nullptr;
  std::vector<QMenu*> m_menus;
  QMenu* m_contextMenu = nullptr;
  QPointer<CToneAdjustDlg> m_toneDialog;
};
