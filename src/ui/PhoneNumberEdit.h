#pragma once

#include "ui/FilteredEdit.h"

// An edit for telephone numbers: digits, the keypad's * and #, and the dialling codes
// p/P (pause) and f/F (flash). The full stop and everything else beep.
class CPhoneNumberEdit : public CFilteredEdit {
  Q_OBJECT

 public:
  explicit CPhoneNumberEdit(QWidget* parent = nullptr);

 protected:
  bool AcceptsCharacter(char16_t ch) const override;
};
