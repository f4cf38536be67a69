// A private PulseAudio server with one null sink for playback tests, started by the test and
// ended by it. Playback reaches the sink; its monitor source records what was played.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdint>
#include <vector>

namespace melodygui {

class CPulseNullSink {
 public:
  static bool Installed() { return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty(); }

  ~CPulseNullSink() { Stop(); }

  // Starts the server and points this process's audio at it (PULSE_SERVER); call before the
  // first use of Qt Multimedia. False when it did not come up.
  bool Start() {
    if (!m_dir.isValid()) {
      return false;
    }
    const QString socket = m_dir.filePath(QStringLiteral("pulse.sock"));
    m_server = QStringLiteral("unix:") + socket;
    m_process.setProgram(QStringLiteral("pulseaudio"));
    m_process.setArguments(
        {QStringLiteral("--daemonize=no"), QStringLiteral("--system=false"), QStringLiteral("--exit-idle-time=-1"),
         QStringLiteral("--disallow-exit"), QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
         QStringLiteral("--log-target=file:") + m_dir.filePath(QStringLiteral("pulse.log")),
         QStringLiteral("--load=module-null-sink sink_name=nullsink"),
         QStringLiteral("--load=module-native-protocol-unix socket=") + socket + QStringLiteral(" auth-anonymous=1")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    m_process.setProcessEnvironment(env);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
      return false;
    }
    qputenv("PULSE_SERVER", m_server.toLocal8Bit());
    return QTest::qWaitFor([this] { return Answers(); }, 10000);
  }

  void Stop() {
    StopRecording();
    if (m_process.state() != QProcess::NotRunning) {
      m_process.terminate();
      if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
      }
    }
  }

  // Records the sink's monitor as 16 kHz 16-bit mono until StopRecording.
  bool StartRecording() {
    m_recorder.setProgram(QStringLiteral("parec"));
    m_recorder.setArguments({QStringLiteral("--server=") + m_server, QStringLiteral("-d"),
                             QStringLiteral("nullsink.monitor"), QStringLiteral("--raw"),
                             QStringLiteral("--format=s16le"), QStringLiteral("--rate=16000"),
                             QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=20")});
    m_recorder.start();
    return m_recorder.waitForStarted(5000);
  }

  std::vector<std::int16_t> StopRecording() {
    if (m_recorder.state() == QProcess::NotRunning) {
      return {};
    }
    m_recorder.terminate();
    m_recorder.waitForFinished(3000);
    const QByteArray raw = m_recorder.readAllStandardOutput();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(raw.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                             (static_cast<std::uint8_t>(raw[2 * i + 1]) << 8));
    }
    return samples;
  }

 private:
  bool Answers() {
    QProcess info;
    info.start(QStringLiteral("pactl"), {QStringLiteral("--server=") + m_server, QStringLiteral("info")});
    return info.waitForFinished(3000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0;
  }

  QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/pa-XXXXXX")};
  QString m_server;
  QProcess m_process;
  QProcess m_recorder;
};

}  // namespace melodygui
