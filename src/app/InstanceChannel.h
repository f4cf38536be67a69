#pragma once

#include <QObject>
#include <QString>
#include <filesystem>

class QLocalServer;

// How a second start reaches the running instance: the running one listens on a local
// socket beside its instance lock; a second start asks it to bring its launcher forward and
// waits briefly for the answer. Only the holder of the instance lock listens, so a leftover
// socket file of an instance that died is replaced safely.
class CInstanceChannel : public QObject {
  Q_OBJECT

 public:
  // lockFile: the instance lock file; the socket is named after it.
  explicit CInstanceChannel(const std::filesystem::path& lockFile, QObject* parent = nullptr);
  ~CInstanceChannel() override;

  // Running instance: listen for activation requests. False when the socket cannot be made.
  bool Listen();
  // Second start: ask the running instance to bring its launcher forward; true once it has
  // confirmed.
  bool RequestActivation(int timeoutMs = 3000) const;

  QString SocketPath() const { return m_socketPath; }

  static constexpr const char* kRequest = "activate\n";
  static constexpr const char* kAnswer = "ok\n";

 signals:
  void ActivationRequested();

 private:
  void OnConnection();

  QString m_socketPath;
  QLocalServer* m_server = nullptr;
};
