#pragma once

#include "framework/Template.h"

#include <string>

class CCharSetEdit;
class CPhoneNumberEdit;
class QPushButton;

// The "Phone Book Entry" dialog: a name (name characters, at most 16) and a number (dial
// characters, at most 32). In add mode both fields start empty; in edit mode they start
// with the entry. OK stays disabled while the number is empty and refuses a number the
// handset could not dial (message 786), keeping the dialog open.
class CPhoneBookEntryDlg : public CTemplate {
  Q_OBJECT

 public:
  static constexpr int kNameEdit = 4028;
  static constexpr int kNumberEdit = 4029;
  static constexpr int kOk = 4024;
  static constexpr int kCancel = 4021;

  CPhoneBookEntryDlg(QWidget* parent, CAppContext* context, const std::string& name, const std::string& number);

  const std::string& Name() const { return m_name; }
  const std::string& Number() const { return m_number; }
  CCharSetEdit* NameEdit() const { return m_nameEdit; }
  CPhoneNumberEdit* NumberEdit() const { return m_numberEdit; }
  QPushButton* OkButton() const { return m_ok; }
  // Runs OK as the button does.
  void PressOk();

  // Every character a name may hold, for the name and search edits.
  static QString NameCharacters();

 protected:
  void RelabelControls() override;
  void FitToBackground() override {}
  void reject() override { done(Rejected); }

 private:
  void UpdateOk();

  CCharSetEdit* m_nameEdit = nullptr;
  CPhoneNumberEdit* m_numberEdit = nullptr;
  QPushButton* m_ok = nullptr;
  std::string m_name;
  std::string m_number;
};
