// The real program, started twice as a user would: the second start reports that the
// program already runs and ends with a failure status; the first runs on untouched.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class SingleInstanceProcessTest : public QObject {
  Q_OBJECT

 private slots:
  void secondStartIsRefused() {
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath("runtime"));
    QFile::setPermissions(home.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("ORVANE_INSTANCE_NAME", "Global\\OrvaneProcessTest");
    environment.insert("LANG", "en_US.UTF-8");
    environment.remove("LC_ALL");
    environment.remove("LC_MESSAGES");
    const QString program = QString(ORVANE_OUTPUT_DIR) + "/orvane-usb-utility";

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {"/S"});
    QVERIFY(first.waitForStarted());
    // Running once the resident window has created its settings.
    const QString settings = home.filePath("config/Vorlandix/VX-RM1276series.conf");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(settings) && QFile(settings).size() > 0, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(settings).contains("ProductID"), 15000);
    const QString content = ReadAll(settings);
    for (const char* name : {"Language", "Balloon", "VendorID", "ProductID"}) {
      QVERIFY2(content.contains(QString(name) + "="), name);
    }

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, {});
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

    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
  }

 private:
  static QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }
};

QTEST_GUILESS_MAIN(SingleInstanceProcessTest)
#include "SingleInstanceProcessTest.moc"
