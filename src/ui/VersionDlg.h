#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

// The version-information dialog: the program's icon, name, version and the maker's
// notice on the skin's blue, with an OK button. All texts come from the "VersionInfo"
// strings; an empty string keeps the built-in text.
class CVersionDlg : public QDialog {
  Q_OBJECT

 public:
  using TextLookup = std::function<std::string(std::int32_t)>;

  static constexpr int kDialogId = 1100;
  static constexpr int kCaptionId = 1100;
  static constexpr int kIconId = 1101;
  static constexpr int kProductId = 1102;
  static constexpr int kVersionId = 1103;
  static constexpr int kNoticeId = 1104;
  static constexpr int kOkId = 1105;

  // owner becomes the parent; setModalFlag is the resident window's modal flag (may be empty).
  CVersionDlg(TextLookup lookup, QWidget* owner, std::function<void(bool)> setModalFlag = {});

  // Shows the dialog modally over its owner with the resident window's modal flag set for
  // the whole time; returns the dialog's result.
  int Run();
  // Takes the texts again (a language change).
  void Relabel();

 public slots:
  void accept() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildControls();
  void SetText(QWidget* control, int id);
  void SetModalFlag(bool modal);
  // A message box of the application shown for the same owner while this dialog was up.
  QWidget* OpenMessageBoxOfOwner() const;

  TextLookup m_lookup;
  QPointer<QWidget> m_owner;
  std::function<void(bool)> m_setModalFlag;
  QLabel* m_icon = nullptr;
  QLabel* m_product = nullptr;
  QLabel* m_version = nullptr;
  QLabel* m_notice = nullptr;
  QPushButton* m_ok = nullptr;
};
