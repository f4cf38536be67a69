// The resident window's desktop seams on a private D-Bus session: notices through a
// notification service (and the notice window without one), the tray icon created when a
// tray appears after the program, the auto start-up entry, the second-start channel.
#include "app/AutoStart.h"
#include "app/BalloonPopup.h"
#include "app/DBusNotifier.h"
#include "app/DesktopNotifier.h"
#include "app/InstanceChannel.h"
#include "app/LogindPowerEvents.h"
#include "app/QtTrayIcon.h"

#include <poll.h>
#include <unistd.h>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// A notification service as desktops run one: records what it is asked.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString summary;
    QString body;
    uint replaces;
    int urgency;
  };
  QList<Call> calls;
  QList<uint> closed;
  mutable QMutex mutex;

 public slots:
  uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int) {
    QMutexLocker lock(&mutex);
    calls.push_back({summary, body, replaces, hints.value("urgency").toInt()});
    return 40 + static_cast<uint>(calls.size());
  }
  void CloseNotification(uint id) {
    QMutexLocker lock(&mutex);
    closed.push_back(id);
  }
};

// The tray side of the status-notifier protocol, enough for Qt to use it.
class FakeWatcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
  Q_PROPERTY(int ProtocolVersion READ Version)

 public:
  bool HostRegistered() const { return true; }
  int Version() const { return 0; }
  QAtomicInt items;

 public slots:
  void RegisterStatusNotifierItem(const QString&) { items.ref(); }
  void RegisterStatusNotifierHost(const QString&) {}
};

// logind's sleep side: hands out delay inhibitors as pipes whose other end it keeps, so it
// can see when the program lets go of one.
class FakeLogin : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public:
  ~FakeLogin() override {
    for (int fd : readEnds) {
      ::close(fd);
    }
  }
  QList<int> readEnds;
  QStringList modes;
  mutable QMutex mutex;

  // True while the inhibitor handed out as number `index` is still held by the program.
  bool Held(int index) const {
    QMutexLocker lock(&mutex);
    pollfd poll{readEnds.value(index), POLLIN, 0};
    return ::poll(&poll, 1, 0) == 0;
  }

 public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString&, const QString&, const QString& mode) {
    int ends[2];
    if (::pipe(ends) != 0) {
      return {};
    }
    QMutexLocker lock(&mutex);
    readEnds.push_back(ends[0]);
    modes.push_back(what + ":" + mode);
    QDBusUnixFileDescriptor handed(ends[1]);
    ::close(ends[1]);
    return handed;
  }
};

// The desktop's services live on their own connection and thread, so the program's
// blocking calls get their answers.
class DesktopSide : public QThread {
 public:
  explicit DesktopSide(QString address) : m_address(std::move(address)) {}
  FakeNotifications notifications;
  FakeWatcher watcher;
  FakeLogin login;

  void Signal(const QDBusMessage& message) {
    QMetaObject::invokeMethod(
        m_helper, [=, this] { QDBusConnection(m_name).send(message); }, Qt::BlockingQueuedConnection);
  }

  void Offer(const char* service, QObject* object, const char* path) {
    QMetaObject::invokeMethod(
        m_helper,
        [=, this] {
          QDBusConnection bus(m_name);
          bus.registerObject(path, object, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
          bus.registerService(service);
        },
        Qt::BlockingQueuedConnection);
  }

 protected:
  void run() override {
    QObject helper;
    m_helper = &helper;
    QDBusConnection::connectToBus(m_address, m_name);
    m_ready.release();
    exec();
    QDBusConnection::disconnectFromBus(m_name);
  }

 public:
  void StartAndWait() {
    notifications.moveToThread(this);
    watcher.moveToThread(this);
    login.moveToThread(this);
    start();
    m_ready.acquire();
  }

 private:
  QString m_address;
  QString m_name = "desktop";
  QObject* m_helper = nullptr;
  QSemaphore m_ready;
};

QProcess* g_bus = nullptr;
QString g_address;

}  // namespace

class TaskTraySeamsTest : public QObject {
  Q_OBJECT

 private slots:
  void autostartEntryStartsTheProgramSilently() {
    QTemporaryDir home;
    CAutoStart entry(home.filePath("autostart").toStdString(), "/opt/My Apps/orvane \"usb\"$1\\x%");
    QVERIFY(!entry.IsEnabled());
    QVERIFY(entry.Enable());
    QVERIFY(entry.IsEnabled());
    QFile file(home.filePath("autostart/OrvaneApp.desktop"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(file.readAll());
    QVERIFY(content.startsWith("[Desktop Entry]\n"));
    QVERIFY(content.contains("Type=Application\n"));
    // Quoted argument rules, then the string rules of the desktop entry format.
    QVERIFY2(content.contains("Exec=\"/opt/My Apps/orvane \\\\\"usb\\\\\"\\\\$1\\\\\\\\x%%\" /S\n"),
             qPrintable(content));
    QVERIFY(entry.Disable());
    QVERIFY(!entry.IsEnabled());
    QVERIFY(entry.Disable());
    QCOMPARE(CAutoStart::QuoteArgument("/usr/bin/orvane-usb-utility"), std::string("\"/usr/bin/orvane-usb-utility\""));
  }

  void noticesGoToTheNotificationService() {
    DesktopSide desktop(g_address);
    desktop.StartAndWait();
    desktop.Offer("org.freedesktop.Notifications", &desktop.notifications, "/org/freedesktop/Notifications");
    QTRY_VERIFY(CDBusNotifier::ServiceAvailable());

    CDesktopNotifier notifier("ORVANE USB Utility");
    notifier.Show("ORVANE USB Utility", "Handset is connected.", NoticeSeverity::Information);
    notifier.Show("ORVANE USB Utility", "The battery is running low.", NoticeSeverity::Warning);
    notifier.Close();
    QTRY_COMPARE(desktop.notifications.closed.size(), 1);
    {
      QMutexLocker lock(&desktop.notifications.mutex);
      QCOMPARE(desktop.notifications.calls.size(), 2);
      QCOMPARE(desktop.notifications.calls[0].body, QString("Handset is connected."));
      QCOMPARE(desktop.notifications.calls[0].urgency, 1);
      QCOMPARE(desktop.notifications.calls[0].replaces, 0u);
      // The second replaces the first; warnings are critical.
      QCOMPARE(desktop.notifications.calls[1].replaces, 41u);
      QCOMPARE(desktop.notifications.calls[1].urgency, 2);
      QCOMPARE(desktop.notifications.closed[0], 42u);
    }
    QVERIFY(notifier.Popup() == nullptr);
    desktop.quit();
    desktop.wait();
  }

  // Without a service the program's own notice window shows at the lower right of the work
  // area, and a click hides it.
  void noticeWindowWithoutAService() {
    CDesktopNotifier notifier("ORVANE USB Utility", [] { return false; });
    notifier.Show("ORVANE USB Utility", "Handset is not connected.", NoticeSeverity::Information);
    CBalloonPopup* popup = notifier.Popup();
    QVERIFY(popup != nullptr);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->Text(), QString("Handset is not connected."));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(popup->geometry().right(), area.right() - CBalloonPopup::kRightMargin);
    QCOMPARE(popup->geometry().bottom(), area.bottom());
    QVERIFY(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    QTest::mouseClick(popup, Qt::RightButton);
    QVERIFY(!popup->isVisible());
    notifier.Show("t", "x", NoticeSeverity::Warning);
    QVERIFY(popup->isVisible());
    notifier.Close();
    QVERIFY(!popup->isVisible());
  }

  // A tray that appears after the program: the icon is made when it does.
  void trayIconAppearsWithTheTray() {
    CQtTrayIcon icon;
    icon.Add(QIcon(QPixmap(16, 16)), "Handset is not connected.");
    QVERIFY(icon.IsAdded());
    QVERIFY(!icon.IsShown());
    DesktopSide desktop(g_address);
    desktop.StartAndWait();
    desktop.Offer("org.kde.StatusNotifierWatcher", &desktop.watcher, "/StatusNotifierWatcher");
    QTRY_VERIFY_WITH_TIMEOUT(icon.IsShown(), 10000);
    icon.Delete();
    QVERIFY(!icon.IsAdded());
    QVERIFY(!icon.IsShown());
    desktop.quit();
    desktop.wait();
  }

  // Suspend is handled while a delay inhibitor holds the sleep back; it is let go after the
  // handler and taken again on resume.
  void suspendWaitsForTheHandler() {
    DesktopSide desktop(g_address);
    desktop.StartAndWait();
    desktop.Offer("org.freedesktop.login1", &desktop.login, "/org/freedesktop/login1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QTRY_VERIFY(bus.interface()->isServiceRegistered("org.freedesktop.login1").value());
    CLogindPowerEvents power(bus);
    QVERIFY(power.IsConnected());
    QVERIFY(power.HoldsInhibitor());
    QCOMPARE(desktop.login.modes, QStringList{"sleep:delay"});
    QList<IPowerEvents::Event> events;
    bool heldDuringSuspend = false;
    power.SetHandler([&](IPowerEvents::Event event) {
      events.push_back(event);
      if (event == IPowerEvents::Event::Suspend) {
        heldDuringSuspend = desktop.login.Held(0);
      }
    });
    const auto sleep = [&](bool sleeping) {
      QDBusMessage signal =
          QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
      signal << sleeping;
      desktop.Signal(signal);
    };
    sleep(true);
    QTRY_COMPARE(events.size(), 1);
    QCOMPARE(events[0], IPowerEvents::Event::Suspend);
    QVERIFY(heldDuringSuspend);
    QVERIFY(!power.HoldsInhibitor());
    QTRY_VERIFY(!desktop.login.Held(0));
    sleep(false);
    QTRY_COMPARE(events.size(), 2);
    QCOMPARE(events[1], IPowerEvents::Event::Resume);
    QVERIFY(power.HoldsInhibitor());
    QVERIFY(desktop.login.Held(1));
    desktop.quit();
    desktop.wait();
  }

  void secondStartReachesTheRunningInstance() {
    QTemporaryDir dir;
    const std::filesystem::path lock = dir.filePath("orvane-test.lock").toStdString();
    CInstanceChannel running(lock);
    int requests = 0;
    connect(&running, &CInstanceChannel::ActivationRequested, [&] { ++requests; });
    QVERIFY(running.Listen());
    // The second start runs in another process; here, on another thread.
    bool answered = false;
    QThread* second = QThread::create([&] { answered = CInstanceChannel(lock).RequestActivation(5000); });
    second->start();
    QTRY_VERIFY(second->isFinished());
    delete second;
    QVERIFY(answered);
    QCOMPARE(requests, 1);
    QVERIFY(!CInstanceChannel(dir.filePath("nobody.lock").toStdString()).RequestActivation(500));
  }
};

int main(int argc, char** argv) {
  // A private session bus, before anything in the program looks for one.
  QProcess bus;
  bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
  if (!bus.waitForStarted() || !bus.waitForReadyRead(10000)) {
    qFatal("dbus-daemon could not be started");
  }
  g_address = QString::fromUtf8(bus.readLine()).trimmed();
  g_bus = &bus;
  qputenv("DBUS_SESSION_BUS_ADDRESS", g_address.toUtf8());
  int status = 0;
  {
    QApplication app(argc, argv);
    TaskTraySeamsTest test;
    status = QTest::qExec(&test, argc, argv);
  }
  bus.terminate();
  bus.waitForFinished(5000);
  return status;
}

#include "TaskTraySeamsTest.moc"
