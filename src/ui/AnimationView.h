#pragma once

#include <QTimer>
#include <QWidget>

// The animation control of the progress window: plays one animation kind of
// CAnimationPainter from its first frame to its last, over and over, until stopped.
class CAnimationView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFrameIntervalMs = 70;

  explicit CAnimationView(QWidget* parent = nullptr);

  // Opens the kind and plays it from the first frame; false (nothing plays) for an
  // unknown kind.
  bool Play(int kind);
  // Stops and closes the animation: nothing is drawn until the next Play.
  void Stop();
  bool IsPlaying() const { return m_timer.isActive(); }
  int Kind() const { return m_kind; }
  int Frame() const { return m_frame; }
  // Shows one frame of the open kind without playing (still pictures for review).
  void ShowFrame(int frame);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Advance();

  QTimer m_timer;
  int m_kind = -1;
  int m_frame = 0;
};
