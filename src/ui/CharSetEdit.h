#pragma once

#include "ui/FilteredEdit.h"

#include <QString>

// An edit that accepts the characters of a set its owner gives (for example the handset's
// character set) and the full stop; characters with codes of 128 or more never pass.
class CCharSetEdit : public CFilteredEdit {
  Q_OBJECT

 public:
  explicit CCharSetEdit(QWidget* parent = nullptr);

  void SetAllowed(const QString& characters) { m_allowed = characters; }
  const QString& Allowed() const { return m_allowed; }

 protected:
  bool AcceptsCharacter(char16_t ch) const override;

 private:
  QString m_allowed;
};
