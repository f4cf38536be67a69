#pragma once

#include "app/Notifier.h"

#include <QWidget>

class QLabel;

// The notice window used when the desktop has no notification service: a small white
// window with rounded corners at the lower right of the screen's work area, with an icon, a
// bold title and the text. It never takes the keyboard focus; a click hides it.
class CBalloonPopup : public QWidget, public INotifier {
  Q_OBJECT

 public:
  explicit CBalloonPopup(QWidget* parent = nullptr);

  void Show(const QString& title, const QString& text, NoticeSeverity severity) override;
  void Close() override;

  QString Title() const;
  QString Text() const;
  NoticeSeverity Severity() const { return m_severity; }

  static constexpr int kRightMargin = 2;
  static constexpr int kCornerSize = 20;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceAtWorkAreaCorner();

  QLabel* m_icon = nullptr;
  QLabel* m_title = nullptr;
  QLabel* m_text = nullptr;
  NoticeSeverity m_severity = NoticeSeverity::Information;
};
