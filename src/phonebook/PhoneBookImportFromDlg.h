#pragma once

#include "framework/Template.h"
#include "phonebook/ImportGrid.h"

#include <string>

class CMSFlexGrid;
class QLineEdit;
class QPushButton;

// "Import CSV" / "Import vCard": shows a CSV or vCard file as a grid whose header row numbers
// the columns, and lets the user point at the column of names and the column of numbers.
// ">" takes the grid's current column into its field, "<" empties the field. OK hands back
// the name and number texts of every data row; the same column for both is refused with
// message 753.
class CPhoneBookImportFromDlg : public CTemplate {
  Q_OBJECT

 public:
  enum Kind : int { kCsv = 0, kVCard = 1 };
  enum class LoadResult { Loaded, NotOpened, NoEntries };

  static constexpr int kGrid = 4059;
  static constexpr int kNameField = 4040;
  static constexpr int kNumberField = 4041;
  static constexpr int kTakeName = 4035;
  static constexpr int kClearName = 4036;
  static constexpr int kTakeNumber = 4037;
  static constexpr int kClearNumber = 4038;
  static constexpr int kOk = 4033;
  static constexpr int kCancel = 4034;

  CPhoneBookImportFromDlg(QWidget* parent, CAppContext* context, Kind kind, std::string path);

  // Reads the file into the grid. An unreadable or empty file shows message 732; a vCard
  // file without names or numbers ends quietly (NoEntries).
  LoadResult Load();

  Kind ImportKind() const { return m_kind; }
  CMSFlexGrid* Grid() const { return m_grid; }
  QLineEdit* NameField() const { return m_nameField; }
  QLineEdit* NumberField() const { return m_numberField; }
  // The chosen columns' texts, one pair per data row (after OK).
  const ImportLists& Lists() const { return m_lists; }
  // Runs a button of the dialog as a click does.
  void Press(int id);

 protected:
  void RelabelControls() override;
  void FitToBackground() override {}
  void reject() override { done(Rejected); }

 private:
  QPushButton* AddButton(int id);
  void TakeColumn(QLineEdit* field);
  void Accept();
  void UpdateButtons();
  static int ColumnOf(const QLineEdit* field);

  Kind m_kind;
  std::string m_path;
  CMSFlexGrid* m_grid = nullptr;
  QLineEdit* m_nameField = nullptr;
  QLineEdit* m_numberField = nullptr;
  bool m_gridClicked = false;
  ImportLists m_lists;
};
