#pragma once

#include "framework/Template.h"

#include <vector>

class QRadioButton;

// A small modal dialog of caption lines, a column of radio choices, OK and Cancel. OK ends
// it with the result of the checked choice, Cancel (or closing it) with QDialog::Rejected.
// Every text comes from the language strings by control id.
class CChoiceDlg : public CTemplate {
  Q_OBJECT

 public:
  struct Option {
    int controlId;
    int result;
  };

  QRadioButton* Choice(int id) const;
  void PressOk();

 protected:
  CChoiceDlg(QWidget* parent, CAppContext* context, int titleId, std::vector<int> captionIds,
             std::vector<Option> options, int okId, int cancelId);

  void RelabelControls() override;
  void FitToBackground() override {}
  void reject() override { done(Rejected); }

 private:
  int m_titleId;
  std::vector<int> m_captionIds;
  std::vector<Option> m_options;
  int m_okId;
  int m_cancelId;
};
