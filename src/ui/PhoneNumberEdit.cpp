#include "ui/PhoneNumberEdit.h"

CPhoneNumberEdit::CPhoneNumberEdit(QWidget* parent) : CFilteredEdit(parent) {}

bool CPhoneNumberEdit::AcceptsCharacter(char16_t ch) const {
  if (ch >= u'0' && ch <= u'9') {
    return true;
  }
  switch (ch) {
    case u'*':
    case u'#':
    case u'p':
    case u'P':
    case u'f':
    case u'F':
      return true;
    default:
      return false;
  }
}
