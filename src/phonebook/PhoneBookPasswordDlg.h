#pragma once

#include "framework/Template.h"

#include <string>

class QLineEdit;

// "Password": asks for the password of a protected Outlook data file. OK ends it with
// QDialog::Accepted (the text typed is Password()), Cancel or closing it with Rejected.
class CPhoneBookPasswordDlg : public CTemplate {
  Q_OBJECT

 public:
  static constexpr int kTitle = 4700;
  static constexpr int kPrompt = 4701;
  static constexpr int kPasswordEdit = 4702;
  static constexpr int kOk = 4063;
  static constexpr int kCancel = 4064;

  CPhoneBookPasswordDlg(QWidget* parent, CAppContext* context);

  QLineEdit* PasswordEdit() const { return m_edit; }
  std::string Password() const;

 protected:
  void RelabelControls() override;
  void FitToBackground() override {}
  void reject() override { done(Rejected); }

 private:
  QLineEdit* m_edit = nullptr;
};
