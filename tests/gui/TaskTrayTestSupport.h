// Shared pieces of the resident-window and launcher tests: the handset emulator as the
// handset, in-memory settings, the built language files, recording desktop seams and a
// message hook that answers every box.
#pragma once

#include "app/AutoStart.h"
#include "app/Notifier.h"
#include "app/PowerEvents.h"
#include "app/TaskTray.h"
#include "app/TrayIcon.h"
#include "app/UtilityLauncherDlg.h"
#include "appcore/AppStatus.h"
#include "appcore/LanguageStrings.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "framework/AppContext.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/WindowRegistry.h"
#include "ui/Message.h"

#include <udfp_sim.h>

#include <dlfcn.h>
#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace shelltest {

inline std::filesystem::path OutputDir() {
  return ORVANE_OUTPUT_DIR;
}

inline QString ScreenshotDir() {
  const QString dir = QString(ORVANE_OUTPUT_DIR) + "/../screenshots";
  QDir().mkpath(dir);
  return QDir(dir).absolutePath();
}

// The emulator's control exports, from the same loaded library the link uses.
class Sim {
 public:
  static Sim& Get() {
    static Sim sim;
    return sim;
  }
  template <typename F>
  F Fn(const char* name) const {
    return reinterpret_cast<F>(dlsym(m_handle, name));
  }
  void Reset() {
    Fn<int32_t (*)()>("UdfpSimReset")();
    Fn<int32_t (*)()>("UdfpSimClearFaults")();
  }
  void Plug() { Fn<int32_t (*)()>("UdfpSimPlug")(); }
  void Unplug() { Fn<int32_t (*)()>("UdfpSimUnplug")(); }
  void SetIds(uint32_t vendor, uint32_t product) {
    Fn<int32_t (*)(uint32_t, uint32_t)>("UdfpSimSetUsbIds")(vendor, product);
  }
  void Silence(uint32_t count) { Fn<int32_t (*)(uint32_t)>("UdfpSimSilenceNextRequests")(count); }
  void SetDeviceInfo(const uint8_t* info) { Fn<int32_t (*)(const uint8_t*)>("UdfpSimSetDeviceInfo")(info); }
  std::vector<uint8_t> DeviceInfo() {
    std::vector<uint8_t> info(16);
    Fn<int32_t (*)(uint8_t*)>("UdfpSimGetDeviceInfo")(info.data());
    return info;
  }
  UdfpSimState State() {
    UdfpSimState state{};
    Fn<int32_t (*)(UdfpSimState*)>("UdfpSimGetState")(&state);
    return state;
  }
  UdfpSimCounters Counters() {
    UdfpSimCounters counters{};
    Fn<int32_t (*)(UdfpSimCounters*)>("UdfpSimGetCounters")(&counters);
    return counters;
  }
  static std::string Path() { return (OutputDir() / "udfp-sim.so").string(); }

 private:
  Sim() {
    qputenv("ORVANE_DRIVER_LIBRARY", QByteArray::fromStdString(Path()));
    m_handle = dlopen(Path().c_str(), RTLD_NOW);
  }
  void* m_handle = nullptr;
};

class FakeTray : public ITrayIcon {
 public:
  void Add(const QIcon& icon, const QString& tip) override {
    added = true;
    ++adds;
    this->icon = icon;
    this->tip = tip;
  }
  void Modify(const QIcon& icon, const QString& tip) override {
    ++modifies;
    this->icon = icon;
    this->tip = tip;
  }
  void Delete() override { added = false; }
  bool IsAdded() const override { return added; }
  bool IsShown() const override { return added; }
  void SetClickHandler(ClickHandler handler) override { onClick = std::move(handler); }

  bool added = false;
  int adds = 0;
  int modifies = 0;
  QIcon icon;
  QString tip;
  ClickHandler onClick;
};

struct Notice {
  QString title;
  QString text;
  NoticeSeverity severity;
};

class FakeNotifier : public INotifier {
 public:
  void Show(const QString& title, const QString& text, NoticeSeverity severity) override {
    shown.push_back({title, text, severity});
  }
  void Close() override { ++closes; }
  std::vector<Notice> shown;
  int closes = 0;
};

class FakePower : public IPowerEvents {
 public:
  void SetHandler(Handler handler) override { this->handler = std::move(handler); }
  void Fire(Event event) {
    if (handler) {
      handler(event);
    }
  }
  Handler handler;
};

struct ShownMessage {
  std::int32_t number;
  std::uint32_t style;
  std::string text;
};

// One resident window with its services, as the application builds them.
class Harness {
 public:
  explicit Harness(std::filesystem::path languages = OutputDir()) : m_languages(std::move(languages)) {
    Sim::Get().Reset();
    auto backend = std::make_unique<CMemorySettingsBackend>();
    backend_ = backend.get();
    settings = std::make_unique<CSettingsStore>(std::move(backend));
    // Short time-outs keep the no-response cases quick.
    settings->WriteDword(kProductKey + "Communicate", "RequestTimeOut", 1500);
    settings->WriteDword(kProductKey + "Communicate", "RequestRetryCount", 1);
    strings = std::make_unique<CLanguageStrings>(*settings, m_languages);
    strings->InitialLoad(0);
    status = std::make_unique<CAppStatus>(settings.get());
    link = std::make_unique<CDeviceLink>(settings.get(), status.get());
    message = std::make_unique<CMessage>([this](std::int32_t id) { return strings->GetString(id); });
    message->SetTestHook([this](std::int32_t number, std::uint32_t style, const std::string& text) {
      messages.push_back({number, style, text});
      return answer ? answer(number) : IDOK;
    });
    context.settings = settings.get();
    context.strings = strings.get();
    context.status = status.get();
    context.link = link.get();
    context.message = message.get();
    context.residentHandle = [this] { return tray ? tray->Handle() : WindowHandle{0}; };
    context.residentWidget = [this]() -> QWidget* { return tray.get(); };
    context.setResidentModal = [this](bool modal) {
      if (tray) {
        tray->SetModalFlag(modal);
      }
    };
    context.isSuspended = [this] { return tray && tray->IsSuspended(); };
    context.languageIndex = [this] { return tray ? std::max(0, tray->CurrentLanguage()) : 0; };
    CAppContext::SetCurrent(&context);
  }

  ~Harness() {
    tray.reset();
    link.reset();
    CAppContext::SetCurrent(nullptr);
  }

  // Builds and initialises the resident window.
  void Start(bool startInteractive) {
    interactive = startInteractive;
    CTaskTray::Seams seams;
    auto fakeTray = std::make_unique<FakeTray>();
    auto fakeNotifier = std::make_unique<FakeNotifier>();
    auto fakePower = std::make_unique<FakePower>();
    trayIcon = fakeTray.get();
    notifier = fakeNotifier.get();
    power = fakePower.get();
    seams.tray = std::move(fakeTray);
    seams.notifier = std::move(fakeNotifier);
    seams.power = std::move(fakePower);
    seams.autoStart = std::make_unique<CAutoStart>(autostartFolder, "/opt/orvane/bin/orvane-usb-utility");
    seams.isInteractive = [this] { return interactive; };
    seams.setInteractive = [this](bool value) { interactive = value; };
    tray = std::make_unique<CTaskTray>(&context, std::move(seams));
    QObject::connect(tray.get(), &CTaskTray::ExitRequested, [this] { ++exitRequests; });
    tray->Initialise();
  }

  std::vector<std::int32_t> Numbers() const {
    std::vector<std::int32_t> numbers;
    for (const auto& shown : messages) {
      numbers.push_back(shown.number);
    }
    return numbers;
  }
  int Count(std::int32_t number) const {
    const std::vector<std::int32_t> numbers = Numbers();
    return static_cast<int>(std::count(numbers.begin(), numbers.end(), number));
  }
  bool Noticed(std::int32_t stringId) const {
    const QString text = QString::fromStdString(strings->GetString(stringId));
    return std::any_of(notifier->shown.begin(), notifier->shown.end(),
                       [&](const Notice& notice) { return notice.text == text; });
  }
  QString Text(std::int32_t id) const { return QString::fromStdString(strings->GetString(id)); }
  std::uint32_t Setting(const std::string& key, const std::string& name) {
    return settings->ReadOrCreateDword(key, name, 0xFFFFFFFF);
  }

  std::filesystem::path m_languages;
  QTemporaryDir home;
  std::filesystem::path autostartFolder = home.filePath("autostart").toStdString();
  CMemorySettingsBackend* backend_ = nullptr;
  std::unique_ptr<CSettingsStore> settings;
  std::unique_ptr<CLanguageStrings> strings;
  std::unique_ptr<CAppStatus> status;
  std::unique_ptr<CDeviceLink> link;
  std::unique_ptr<CMessage> message;
  CAppContext context;
  std::unique_ptr<CTaskTray> tray;
  FakeTray* trayIcon = nullptr;
  FakeNotifier* notifier = nullptr;
  FakePower* power = nullptr;
  bool interactive = true;
  int exitRequests = 0;
  std::vector<ShownMessage> messages;
  std::function<int(std::int32_t)> answer;
};

// A utility window as the launcher runs it: registered under its index while open; it
// records the attach notices it gets and may refuse to close.
class TestUtility : public CTemplate {
 public:
  TestUtility(QWidget* parent, CAppContext* context, std::uint8_t index) : CTemplate(parent, context) {
    SetKind(index);
    setWindowTitle("Test utility");
    resize(200, 100);
    context->status->Register(index, 1, Handle());
  }
  ~TestUtility() override {
    if (CAppStatus* status = Context()->status) {
      status->Register(Kind(), 0, 0);
    }
  }
  bool QueryClose() override {
    ++queries;
    return mayClose;
  }
  std::vector<std::uintptr_t> notices;
  int queries = 0;
  bool mayClose = true;

 protected:
  bool OnDeviceAttached(std::uintptr_t wParam, std::intptr_t) override {
    notices.push_back(wParam);
    return true;
  }
  bool OnDeviceDetached(std::uintptr_t wParam, std::intptr_t) override {
    notices.push_back(wParam);
    return true;
  }
};

}  // namespace shelltest
