#pragma once

class QObject;
class QWidget;

// Windows are built in code; each control carries the numeric id its dialog gives it (the
// same number as the string id of its label), so relabelling and tests find it by id.
class CControlId {
 public:
  static constexpr const char* kProperty = "controlId";

  static void Set(QObject* control, int id);
  // The id a control carries; 0 when it has none.
  static int Get(const QObject* control);
  // The first descendant of parent that carries id, or nullptr.
  static QWidget* Find(const QWidget* parent, int id);
};
