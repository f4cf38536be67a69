// The services of a utility window over the handset emulator with a real device link, and
// a small utility that sends, receives and erases through the CTemplate operations.
#pragma once

#include "devlink/SimHandset.h"

#include "appcore/AppStatus.h"
#include "appcore/LanguageStrings.h"
#include "appcore/SettingsStore.h"
#include "devlink/DeviceLink.h"
#include "framework/AppContext.h"
#include "framework/FileDialogs.h"
#include "framework/Template.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/MessageQueue.h"
#include "ui/AnimationPainter.h"
#include "ui/Message.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QtTest>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace templatetest {

inline constexpr int kWaitMs = 30000;
// Progress messages of the test operations.
inline constexpr std::int32_t kSendingText = 710;    // "Data is now being sent to the handset. ..."
inline constexpr std::int32_t kReceivingText = 714;  // "'%s' is now being received from the handset. ..."

// Settings, the shipped English texts, the status table, a message presenter whose boxes
// are answered by a hook, a stand-in for the resident window and, on demand, the link.
class Services {
 public:
  Services()
      : settings(std::make_unique<CMemorySettingsBackend>()),
        strings(settings, ORVANE_OUTPUT_DIR),
        status(&settings),
        message([this](std::int32_t id) { return strings.GetString(id); }) {
    strings.InitialLoad(0);
    message.SetTestHook([this](std::int32_t number, std::uint32_t style, const std::string& text) {
      shown.push_back(number);
      styles.push_back(style);
      texts.push_back(text);
      return onMessage ? onMessage(number) : IDOK;
    });
    context.settings = &settings;
    context.strings = &strings;
    context.status = &status;
    context.message = &message;
    context.fileDialogs = &dialogs;
    context.residentHandle = [this] { return resident.Handle(); };
    context.setResidentModal = [this](bool modal) { residentModal = modal; };
    status.Register(APP_VERSION_INFO, 1, resident.Handle());
  }
  ~Services() {
    context.link = nullptr;
    link.reset();
    if (sim) {
      sim->ClearFaults();
    }
  }

  // Opens the emulated handset and starts the link's workers as the resident window does.
  bool Connect(std::uint32_t requestTimeOut = 2000) {
    setenv("ORVANE_DRIVER_LIBRARY", SimHandset::LibraryPath().c_str(), 1);
    sim = std::make_unique<SimHandset>();
    sim->Fresh();
    SetCommunicate("RequestTimeOut", requestTimeOut);
    SetCommunicate("EventStatusCount", 1);
    SetCommunicate("DriverStatusCount", 10);
    link = std::make_unique<CDeviceLink>(&settings, &status);
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!link->GetDeviceInfo(vendor, product)) {
      return false;
    }
    CMessageQueue starter;
    RequestParams params;
    params.notifyWindow = starter.Handle();
    if (!link->PostRequest(LinkCode::kStartLink, params)) {
      return false;
    }
    const auto started = starter.Take(std::chrono::milliseconds(kWaitMs));
    if (!started || started->message != LinkMessage::kRequestComplete) {
      return false;
    }
    context.link = link.get();
    status.SetConnected(1);
    return true;
  }

  void SetCommunicate(const char* name, std::uint32_t value) {
    settings.WriteDword(kProductKey + "Communicate", name, value);
  }

  int Count(std::int32_t number) const { return static_cast<int>(std::count(shown.begin(), shown.end(), number)); }

  // Answers the file dialogs from a script.
  class ScriptedDialogs : public IFileDialogs {
   public:
    Answer GetOpenFileName(const Request& request) override { return Next(request); }
    Answer GetSaveFileName(const Request& request) override { return Next(request); }
    Answer GetFolderName(const Request& request) override { return Next(request); }
    std::deque<Answer> answers;
    std::vector<Request> requests;

   private:
    Answer Next(const Request& request) {
      requests.push_back(request);
      if (answers.empty()) {
        return {};
      }
      Answer answer = answers.front();
      answers.pop_front();
      return answer;
    }
  };

  CSettingsStore settings;
  CLanguageStrings strings;
  CAppStatus status;
  CMessage message;
  ScriptedDialogs dialogs;
  CMessageQueue resident;
  CAppContext context;
  std::unique_ptr<SimHandset> sim;
  std::unique_ptr<CDeviceLink> link;
  std::vector<std::int32_t> shown;
  std::vector<std::uint32_t> styles;
  std::vector<std::string> texts;
  std::function<int(std::int32_t)> onMessage;
  bool residentModal = false;
};

// A utility of the given kind with the four device buttons. Send writes `object` as data
// kind `dataKind`; while `chain` is above zero each completed write sends the next object.
class TestUtility : public CTemplate {
 public:
  explicit TestUtility(CAppContext* context, std::uint8_t kind = APP_IMAGE) : CTemplate(nullptr, context) {
    SetKind(kind);
    auto* row = new QHBoxLayout(Content());
    for (int id = TemplateId::kFromDevice; id <= TemplateId::kPlayOnDevice; ++id) {
      auto* button = new QPushButton(Content());
      SetControlId(button, id);
      row->addWidget(button);
    }
    RelabelControls();
    AddKindToolTips();
    resize(480, 120);
  }

  std::vector<std::uint8_t> object;
  std::uint32_t dataKind = UDFP_SIM_KIND_WALLPAPER;
  std::uint32_t readItem = 1;
  int chain = 0;
  std::vector<std::string> calls;
  std::vector<std::vector<std::uint8_t>> received;
  std::vector<std::uint8_t> lastReply;

  using CTemplate::SetKind;
  using CTemplate::SetModalOpen;
  using CTemplate::SetNextArg;

 protected:
  bool Prepare1001() override {
    Params() = RequestParams{};
    Params().kind = dataKind;
    Params().data = object.data();
    Params().dataSize = static_cast<std::uint32_t>(object.size());
    SetRequestCode(LinkCode::kWriteStart);
    SetProgressMessage(kSendingText, {}, kProgressCancel | CAnimationPainter::kSend);
    SetExtcuting(1);
    return true;
  }
  bool Prepare1000() override {
    Params() = RequestParams{};
    Params().kind = dataKind;
    Params().arg3 = readItem;
    SetRequestCode(LinkCode::kRead);
    SetProgressMessage(kReceivingText, {"wallpaper"}, kProgressCancel | CAnimationPainter::kReceive);
    SetExtcuting(2);
    return true;
  }
  bool Prepare1002() override {
    Params() = RequestParams{};
    Params().kind = dataKind;
    Params().arg3 = readItem;
    SetRequestCode(LinkCode::kDelete);
    SetExtcuting(3);
    return true;
  }
  bool PrepareNextSend() override {
    if (chain <= 0) {
      return CTemplate::PrepareNextSend();
    }
    --chain;
    calls.push_back("PrepareNextSend");
    Params().arg1 = NextArg();
    return true;
  }
  bool EndWriteBusy() override {
    calls.push_back("EndWriteBusy");
    return CTemplate::EndWriteBusy();
  }
  bool AfterWriteDone(std::uint32_t code, ReplyBytes reply) override {
    calls.push_back("AfterWriteDone");
    lastReply.assign(reply.begin(), reply.end());
    return CTemplate::AfterWriteDone(code, reply);
  }
  bool AfterWriteFailed(std::uint32_t code, ReplyBytes reply) override {
    calls.push_back("AfterWriteFailed");
    lastReply.assign(reply.begin(), reply.end());
    return CTemplate::AfterWriteFailed(code, reply);
  }
  bool OnItemReceived(std::uint32_t /*code*/, ReplyBytes object) override {
    received.emplace_back(object.begin(), object.end());
    return true;
  }
  bool OnCancelRequested(std::uint32_t /*code*/) override {
    calls.push_back("OnCancelRequested");
    return true;
  }
  bool OnUtilityStartDone() override {
    calls.push_back("OnUtilityStartDone");
    CloseSandGlass();
    return true;
  }
  bool OnNoResponse(std::uint32_t /*code*/) override {
    calls.push_back("OnNoResponse");
    return true;
  }
};

// A recognisable object of `size` bytes.
inline std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = 11;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

}  // namespace templatetest
