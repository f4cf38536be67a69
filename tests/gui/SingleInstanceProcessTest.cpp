// The real program, started twice as a user would: the second start has the running one
// bring its launcher forward and ends; when the running one cannot be reached, the second
// start reports that the program already runs and ends with a failure status.
#include "platform/InstanceLock.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class SingleInstanceProcessTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(QDir(m_home.path()).mkpath("runtime"));
    QFile::setPermissions(m_home.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert("XDG_RUNTIME_DIR", m_home.filePath("runtime"));
    m_environment.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
    m_environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    m_environment.insert("LANG", "en_US.UTF-8");
    m_environment.insert("ORVANE_DRIVER_LIBRARY", QString(ORVANE_OUTPUT_DIR) + "/udfp-sim.so");
    m_environment.insert("ORVANE_SIM_PLUGGED", "0");
    m_environment.remove("LC_ALL");
    m_environment.remove("LC_MESSAGES");
    m_environment.remove("DBUS_SESSION_BUS_ADDRESS");
  }

  void secondStartBringsTheLauncherForward() {
    m_environment.insert("ORVANE_INSTANCE_NAME", "Global\\OrvaneProcessTest");
    QProcess first;
    first.setProcessEnvironment(m_environment);
    first.start(Program(), {"/S"});
    QVERIFY(first.waitForStarted());
    // Running once the resident window has created its settings.
    const QString settings = m_home.filePath("config/Vorlandix/VX-RM1276series.conf");
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(settings).contains("ProductID"), 15000);
    const QString content = ReadAll(settings);
    for (const char* name : {"Language", "Balloon", "VendorID", "ProductID"}) {
      QVERIFY2(content.contains(QString(name) + "="), name);
    }
    // Started silently without a handset, the launcher has not opened yet.
    QVERIFY(!content.contains("PhoneBook="));

    QProcess second;
    second.setProcessEnvironment(m_environment);
    second.start(Program(), {});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!second.readAllStandardError().contains("already running"));
    // The launcher of the first opened: it reads its "Boot" settings.
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(settings).contains("PhoneBook=2"), 15000);

    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
  }

  void unreachableInstanceShows702() {
    m_environment.insert("ORVANE_INSTANCE_NAME", "Global\\OrvaneProcessTestLocked");
    // Held here, where nothing listens for a second start.
    CInstanceLock held("Global\\OrvaneProcessTestLocked");
    QVERIFY(held.Acquire());
    QProcess second;
    second.setProcessEnvironment(m_environment);
    second.start(Program(), {});
    QVERIFY(second.waitForStarted());
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += second.readAllStandardError()).contains("The application is already running."),
                             15000);
    // The box is up; closing it from outside ends the second start with a failure status.
    QCOMPARE(second.state(), QProcess::Running);
    second.terminate();
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QVERIFY(second.exitCode() != 0);
  }

 private:
  static QString Program() { return QString(ORVANE_OUTPUT_DIR) + "/orvane-usb-utility"; }
  static QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  QTemporaryDir m_home;
  QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(SingleInstanceProcessTest)
#include "SingleInstanceProcessTest.moc"
