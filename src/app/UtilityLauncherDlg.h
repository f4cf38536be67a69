#pragma once

#include "framework/Template.h"

#include <QPointer>
#include <array>
#include <cstdint>

class QAbstractButton;
class QLabel;

// The launcher (kind 1, "UtilityMain"): one large button per utility with its label below,
// then Help and Exit. Each utility's "Boot" setting decides whether it is absent (button
// and label removed, the window 86 pixels narrower), shown disabled, or available; an
// available utility also needs its window registered with CUtilityWindowFactory, else its
// button stays disabled. A chosen utility runs modally while the launcher is hidden, one at
// a time; the launcher passes the handset's attachment and removal on to it.
class CUtilityLauncherDlg : public CTemplate {
  Q_OBJECT

 public:
  // Positions 2..7: buttons 8008..8013, labels 8002..8007.
  static constexpr int kFirstPosition = 2;
  static constexpr int kPositionCount = 6;
  static constexpr int kFirstButton = 8008;
  static constexpr int kFirstLabel = 8002;
  static constexpr int kHelpButton = 1008;
  static constexpr int kExitButton = 1007;
  static constexpr int kHelpLabel = 8014;
  static constexpr int kExitLabel = 8015;
  static constexpr int kCaption = 8000;
  static constexpr int kButtonSpacing = 86;
  static constexpr int kButtonSize = 72;
  static constexpr int kLabelBottom = 96;
  // Application modes of the link while the launcher is open and after it closed.
  static constexpr std::uint32_t kLauncherMode = 1;
  static constexpr std::uint32_t kDefaultMode = 0;

  CUtilityLauncherDlg(QWidget* parent, CAppContext* context);
  ~CUtilityLauncherDlg() override;

  // Lays the window out, registers it and shows it.
  void Initialise();

  // 0 absent, 1 shown disabled, 2 available; positions 2..7.
  std::uint32_t Availability(int position) const;
  // Runs the utility of a position (3 phonebook, 4 picture, 5 melody) when it is offered.
  void OpenUtility(int position);
  CTemplate* RunningUtility() const { return m_running.data(); }
  QAbstractButton* Button(int id) const;
  QLabel* Label(int id) const;
  // The closing procedure (the Exit button and the resident window's Exit ask it).
  bool QueryClose() override;

 protected:
  void RelabelControls() override;
  void AddKindToolTips() override;
  bool OnLanguageChanged() override;
  bool OnDeviceAttached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnDeviceDetached(std::uintptr_t wParam, std::intptr_t lParam) override;
  void EndWindow() override;
  // The row decides the size; the background picture is stretched over it.
  void FitToBackground() override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ReadAvailability();
  void LayOutByAvailability();
  void RemovePosition(int position);
  void Centre();
  void Register();
  void OnUtilityEnded();
  bool AskToClose(std::uint32_t index);

  std::array<std::uint32_t, kPositionCount> m_availability{};
  QPointer<CTemplate> m_running;
  int m_width = 0;
  int m_height = 0;
  bool m_closing = false;
};
