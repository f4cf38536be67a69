#include "picture/ToneAdjustDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

CToneAdjustDlg::CToneAdjustDlg(QWidget* parent, CAppContext* context, const Layout& layout, std::vector<Bar> bars,
                               ChangeHandler onChange)
    : CTemplate(parent, context), m_layout(layout), m_bars(std::move(bars)), m_onChange(std::move(onChange)) {
  auto* column = new QVBoxLayout(Content());
  auto* grid = new QGridLayout();
  column->addLayout(grid);
  for (std::size_t i = 0; i < m_bars.size(); ++i) {
    const Bar& bar = m_bars[i];
    const int row = static_cast<int>(i) * 2;
    auto* name = new QLabel(Content());
    SetControlId(name, bar.labelId);
    auto* scrollBar = new QScrollBar(Qt::Horizontal, Content());
    scrollBar->setRange(kMinimum, kMaximum);
    scrollBar->setSingleStep(1);
    scrollBar->setPageStep(10);
    scrollBar->setTracking(true);
    scrollBar->setValue(bar.value);
    scrollBar->setMinimumWidth(260);
    SetControlId(scrollBar, bar.scrollBarId);
    auto* value = new QLabel(QString::number(bar.value), Content());
    value->setAlignment(Qt::AlignHCenter);
    SetControlId(value, bar.valueId);
    grid->addWidget(name, row, 0);
    grid->addWidget(scrollBar, row, 1);
    grid->addWidget(value, row + 1, 1);
    m_scrollBars.push_back(scrollBar);
    m_values.push_back(value);
    connect(scrollBar, &QScrollBar::valueChanged, this, [this, i](int v) { OnValueChanged(i, v); });
  }
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  auto* ok = new QPushButton(Content());
  SetControlId(ok, m_layout.okId);
  auto* cancel = new QPushButton(Content());
  SetControlId(cancel, m_layout.cancelId);
  connect(ok, &QPushButton::clicked, this, &CToneAdjustDlg::PressOk);
  connect(cancel, &QPushButton::clicked, this, &CToneAdjustDlg::PressCancel);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  RelabelControls();
}

int CToneAdjustDlg::Value(std::size_t bar) const {
  return m_scrollBars.at(bar)->value();
}

void CToneAdjustDlg::OnValueChanged(std::size_t bar, int value) {
  m_values[bar]->setText(QString::number(value));
  if (m_onChange) {
    m_onChange(bar, value);
  }
}

void CToneAdjustDlg::PressOk() {
  QDialog::done(QDialog::Accepted);
}

void CToneAdjustDlg::PressCancel() {
  QDialog::done(QDialog::Rejected);
}

void CToneAdjustDlg::OnClose() {
  PressCancel();
}

void CToneAdjustDlg::RelabelControls() {
  if (const QString title = Text(m_layout.titleId); !title.isEmpty()) {
    setWindowTitle(title);
  }
  for (const Bar& bar : m_bars) {
    SetControlText(bar.labelId, bar.labelId);
  }
  SetControlText(m_layout.okId, m_layout.okId);
  SetControlText(m_layout.cancelId, m_layout.cancelId);
}
