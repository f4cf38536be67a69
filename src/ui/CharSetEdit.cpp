#include "ui/CharSetEdit.h"

CCharSetEdit::CCharSetEdit(QWidget* parent) : CFilteredEdit(parent) {}

bool CCharSetEdit::AcceptsCharacter(char16_t ch) const {
  return ch == u'.' || (ch < 128 && m_allowed.contains(QChar(ch)));
}
