// orvane-usb-utility: the resident ORVANE USB Utility.
#include "app/UsbUtilityApp.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("orvane-usb-utility");
  QApplication::setOrganizationName("Vorlandix");
  // The resident window is hidden: closing the last visible utility must not end the run.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::vector<std::string> args(argv + 1, argv + argc);
  CUsbUtilityApp app;
  CTerminationSignals termination;
  QObject::connect(&termination, &CTerminationSignals::Requested, [&app](int) {
    app.Message().DelMsg(nullptr);
    QCoreApplication::exit(0);
  });

  if (!app.InitInstance(args)) {
    app.ExitInstance();
    return 1;
  }
  const int status = QApplication::exec();
  app.ExitInstance();
  return status;
}
