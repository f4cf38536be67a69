// orvane-usb-utility: the resident ORVANE USB Utility.
#include "app/UsbUtilityApp.h"
#include "app/UtilityWindowFactory.h"
#include "appcore/AppStatus.h"
#include "melody/MelodyUtilityDlg.h"
#include "phonebook/PhoneBookUtilityDlg.h"
#include "picture/ImageUtilityDlg.h"
#include "platform/SettingsBackend.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

#include <cstdlib>
#include <utility>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("orvane-usb-utility");
  QApplication::setOrganizationName("Vorlandix");
  // The resident window is hidden: closing the last visible utility must not end the run.
  QApplication::setQuitOnLastWindowClosed(false);

  // The utility windows this program offers through the launcher.
  CUtilityWindowFactory::Register(APP_PHONEBOOK, [](QWidget* parent, CAppContext* context) -> CTemplate* {
    return new CPhoneBookUtilityDlg(parent, context);
  });
  CUtilityWindowFactory::Register(APP_IMAGE, [](QWidget* parent, CAppContext* context) -> CTemplate* {
    return new CImageUtilityDlg(parent, context);
  });
  CUtilityWindowFactory::Register(APP_MELODY, [](QWidget* parent, CAppContext* context) -> CTemplate* {
    return new CMelodyUtilityDlg(parent, context);
  });

  const std::vector<std::string> args(argv + 1, argv + argc);
  CUsbUtilityApp::Environment environment;
  // Tests that start the real program name their own lock, so that a user's running
  // instance and a test run do not meet.
  if (const char* name = std::getenv("ORVANE_INSTANCE_NAME"); name != nullptr && *name != '\0') {
    environment.instanceName = name;
  }
  CUsbUtilityApp app(std::move(environment));
  CTerminationSignals termination;
  QObject::connect(&termination, &CTerminationSignals::Requested, [&app](int) {
    app.Message().DelMsg(nullptr);
    QCoreApplication::exit(0);
  });

  if (!app.InitInstance(args)) {
    const bool handedOver = app.HandedToRunningInstance();
    app.ExitInstance();
    return handedOver ? 0 : 1;
  }
  QObject::connect(app.ResidentWindow(), &CTaskTray::ExitRequested, [&app] { app.DestroyDeviceLink(); });
  const int status = QApplication::exec();
  app.ExitInstance();
  return status;
}
