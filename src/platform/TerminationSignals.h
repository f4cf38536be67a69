#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the user-interface thread, so that
// a resident program asked to stop by the desktop session or a terminal ends its run the
// same way as its Exit command (closing boxes, stopping the device link) instead of dying.
class CTerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit CTerminationSignals(QObject* parent = nullptr);
  ~CTerminationSignals() override;

 signals:
  void Requested(int signalNumber);

 private:
  static void Handler(int signalNumber);
  void OnReadable();

  QSocketNotifier* m_notifier = nullptr;
};
