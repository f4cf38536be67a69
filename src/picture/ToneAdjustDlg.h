#pragma once

#include "framework/Template.h"

#include <functional>
#include <vector>

class QLabel;
class QScrollBar;

// The contrast-and-brightness and colour dialogs of the picture window: one horizontal
// scroll bar per value (-1000..1000, line step 1, page step 10, tracking the thumb) with
// its number under it. Every change is handed to the owner at once (live preview). OK
// closes with Accepted; Cancel and closing the window with Rejected: the owner then puts
// the values back.
class CToneAdjustDlg : public CTemplate {
  Q_OBJECT

 public:
  static constexpr int kMinimum = -1000;
  static constexpr int kMaximum = 1000;

  struct Bar {
    int scrollBarId;  // control id of the scroll bar
    int valueId;      // control id of the number under it
    int labelId;      // string and control id of its name
    int value;        // the value when the dialog opens
  };
  struct Layout {
    int titleId;
    int okId;
    int cancelId;
  };
  using ChangeHandler = std::function<void(std::size_t bar, int value)>;

  CToneAdjustDlg(QWidget* parent, CAppContext* context, const Layout& layout, std::vector<Bar> bars,
                 ChangeHandler onChange);

  QScrollBar* ScrollBar(std::size_t bar) const { return m_scrollBars.at(bar); }
  int Value(std::size_t bar) const;
  // Closes as OK or as Cancel would.
  void PressOk();
  void PressCancel();

  void RelabelControls() override;

 protected:
  // Closing the window (its close box) cancels; it asks nothing of the link.
  void OnClose() override;

 private:
  void OnValueChanged(std::size_t bar, int value);

  Layout m_layout;
  std::vector<Bar> m_bars;
  std::vector<QScrollBar*> m_scrollBars;
  std::vector<QLabel*> m_values;
  ChangeHandler m_onChange;
};
