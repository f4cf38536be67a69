#include "ui/ControlId.h"

#include <QVariant>
#include <QWidget>

void CControlId::Set(QObject* control, int id) {
  control->setProperty(kProperty, id);
  control->setObjectName(QStringLiteral("ctl%1").arg(id));
}

int CControlId::Get(const QObject* control) {
  const QVariant value = control->property(kProperty);
  return value.isValid() ? value.toInt() : 0;
}

QWidget* CControlId::Find(const QWidget* parent, int id) {
  for (QWidget* child : parent->findChildren<QWidget*>()) {
    if (Get(child) == id) {
      return child;
    }
  }
  return nullptr;
}
