// orvane-cli device: raw operations on the handset through the device link, for
// diagnostics and scripting. Each verb opens the handset, starts the link, runs one request
// in a small message loop of its own and prints the outcome message.
#include "CliRegistry.h"

#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "devlink/BlockFormat.h"
#include "devlink/DeviceLink.h"
#include "devlink/RequestNames.h"
#include "platform/AtomicFile.h"
#include "platform/MessageQueue.h"
#include "platform/QtSettingsBackend.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUsage =
    "Usage: orvane-cli device VERB ARGS\n"
    "\n"
    "Verbs:\n"
    "  info                          open the handset and print its device information\n"
    "  count KIND                    number of stored objects of a data kind\n"
    "  read KIND ITEM FILE           receive object ITEM of KIND into FILE\n"
    "  read-all KIND DIR             receive every object of KIND into DIR/item-NNN.bin\n"
    "  write KIND ARG1 ARG2 FILE     send FILE as an object of KIND\n"
    "  erase KIND ITEM               delete object ITEM of KIND (255 = all)\n"
    "  remaining KIND ARG1           remaining size (ARG1 0: free kilobytes, 1: free items)\n"
    "\n"
    "Numbers may be decimal or 0x-prefixed hexadecimal. The driver library is the setting\n"
    "\"DriverLibrary\" under Communicate, or the environment variable ORVANE_DRIVER_LIBRARY.\n"
    "Exit status: 0 done, 1 failed or no response, 2 usage error.\n";

constexpr std::uint32_t kDeviceInfoKind = 15;
// A bound on one request so a stuck link can never hang the tool; the link's own time-outs
// (RequestTimeOut) normally end a request long before.
constexpr auto kRequestBound = std::chrono::minutes(10);

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvane-cli device: %s\n\n%s", problem.c_str(), kUsage);
  return kCliUsage;
}

int Fail(const std::string& where, const std::string& reason) {
  std::fprintf(stderr, "device %s: %s\n", where.c_str(), reason.c_str());
  return kCliFailed;
}

std::optional<std::uint32_t> Number(const std::string& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  try {
    std::size_t used = 0;
    const unsigned long value = std::stoul(text, &used, 0);
    if (used != text.size() || value > 0xFFFFFFFFul) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t limit = 32) {
  std::string text;
  char part[4];
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += part;
  }
  if (bytes.size() > limit) {
    text += " ...";
  }
  return text;
}

std::string MessageName(std::uint32_t message) {
  char text[16];
  std::snprintf(text, sizeof text, "WM_APP+0x%X", message - WM_APP);
  return text;
}

std::string CodeName(std::uint32_t code) {
  char text[80];
  std::snprintf(text, sizeof text, "request 0x%X (%s)", code, CRequestNames::Name(code));
  return text;
}

// One session with the handset: the link, the windows it needs and the outcome loop.
class CDeviceSession {
 public:
  CDeviceSession()
      : m_settings(std::make_unique<CQtSettingsBackend>()), m_status(&m_settings), m_link(&m_settings, &m_status) {
    m_status.Register(APP_VERSION_INFO, 1, m_window.Handle());
  }

  // Opens the handset and starts the link's workers; a reason on failure.
  std::optional<std::string> Open() {
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!m_link.GetDeviceInfo(vendor, product)) {
      if (!m_link.DriverLibraryError().empty()) {
        return "the driver library could not be loaded: " + m_link.DriverLibraryError();
      }
      return std::string("no handset found (none attached, or it is in use)");
    }
    m_vendor = vendor;
    m_product = product;
    const WindowMessage started = Request(LinkCode::kStartLink, {});
    if (started.message != LinkMessage::kRequestComplete) {
      return "the link could not be started (" + MessageName(started.message) + ")";
    }
    return std::nullopt;
  }

  // Runs one request; received objects are collected, the outcome is returned.
  WindowMessage Request(std::uint16_t code, RequestParams params) {
    params.notifyWindow = m_window.Handle();
    if (!m_link.PostRequest(code, params)) {
      return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + kRequestBound;
    while (std::chrono::steady_clock::now() < deadline) {
      std::optional<WindowMessage> message = m_window.Take(1s);
      if (!message) {
        continue;
      }
      if (message->message == LinkMessage::kItemReceived) {
        const auto* item = reinterpret_cast<const ReceivedItem*>(message->lParam);
        m_items.emplace_back(item->data, item->data + item->length);
        m_link.ReleaseReceivedItem(item);
      } else if (message->message >= LinkMessage::kRequestComplete && message->message <= LinkMessage::kRequestFailed &&
                 message->wParam == code) {
        return *message;
      }
    }
    return {};
  }

  std::vector<std::vector<std::uint8_t>>& Items() { return m_items; }
  std::uint32_t Vendor() const { return m_vendor; }
  std::uint32_t Product() const { return m_product; }
  CAppStatus& Status() { return m_status; }

 private:
  CSettingsStore m_settings;
  CAppStatus m_status;
  CMessageQueue m_window;
  CDeviceLink m_link;
  std::vector<std::vector<std::uint8_t>> m_items;
  std::uint32_t m_vendor = 0;
  std::uint32_t m_product = 0;
};

std::vector<std::uint8_t> Reply(const WindowMessage& message) {
  return message.payload ? *message.payload : std::vector<std::uint8_t>{};
}

// Prints a completed outcome; reports a failed or missing one. 0 when completed.
int Report(const std::string& verb, std::uint16_t code, const WindowMessage& outcome) {
  const std::vector<std::uint8_t> reply = Reply(outcome);
  switch (outcome.message) {
    case LinkMessage::kRequestComplete:
      std::printf("%s %s completed, reply [%s]\n", MessageName(outcome.message).c_str(), CodeName(code).c_str(),
                  Hex(reply).c_str());
      return kCliOk;
    case LinkMessage::kRequestNoResponse:
      return Fail(verb, CodeName(code) + ": the handset did not respond (" + MessageName(outcome.message) + ")");
    case LinkMessage::kRequestFailed:
      return Fail(verb, CodeName(code) + ": failed or refused by the handset (" + MessageName(outcome.message) +
                            ", reply [" + Hex(reply) + "])");
    default:
      return Fail(verb, CodeName(code) + ": no outcome from the device link");
  }
}

bool WriteObject(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  return CAtomicFile::WriteWhole(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

int Info(CDeviceSession& session) {
  RequestParams params;
  params.kind = kDeviceInfoKind;
  const WindowMessage outcome = session.Request(LinkCode::kRead, params);
  if (outcome.message != LinkMessage::kRequestComplete) {
    return Report("info", LinkCode::kRead, outcome);
  }
  if (session.Items().size() != 1 || session.Items()[0].size() < kDeviceInfoSize) {
    return Fail("info", "the handset sent no 16-byte device information");
  }
  const std::vector<std::uint8_t>& info = session.Items()[0];
  session.Status().SetDeviceInfo(info.data());
  std::printf("Vendor ID: 0x%04X\nProduct ID: 0x%04X\n", session.Vendor() & 0xFFFF, session.Product() & 0xFFFF);
  std::printf("Device information: %s\n", Hex(info, kDeviceInfoSize).c_str());
  std::printf("Model fields:");
  for (std::uint32_t field = 0; field < kModelFieldCount - 1; ++field) {
    std::uint32_t value = 0;
    if (session.Status().GetModelField(field, value)) {
      std::printf("%s%u=%u", field % 11 == 0 ? "\n " : " ", field, value);
    }
  }
  std::printf("\n");
  return kCliOk;
}

int ReadOne(CDeviceSession& session, std::uint32_t kind, std::uint32_t item, const fs::path& file) {
  RequestParams params;
  params.kind = kind;
  params.arg3 = item;
  const WindowMessage outcome = session.Request(LinkCode::kRead, params);
  if (outcome.message != LinkMessage::kRequestComplete) {
    return Report("read", LinkCode::kRead, outcome);
  }
  if (session.Items().size() != 1) {
    return Fail("read", CodeName(LinkCode::kRead) + ": completed without an object");
  }
  if (!WriteObject(file, session.Items()[0])) {
    return Fail("read", file.string() + ": the file could not be written");
  }
  std::printf("%s: %zu bytes\n", file.string().c_str(), session.Items()[0].size());
  return Report("read", LinkCode::kRead, outcome);
}

int ReadAll(CDeviceSession& session, std::uint32_t kind, const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return Fail("read-all", folder.string() + ": not a folder");
  }
  RequestParams params;
  params.kind = kind;
  const WindowMessage outcome = session.Request(LinkCode::kReadCount, params);
  if (outcome.message != LinkMessage::kRequestComplete) {
    return Report("read-all", LinkCode::kReadCount, outcome);
  }
  for (std::size_t i = 0; i < session.Items().size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "item-%03zu.bin", i + 1);
    const fs::path file = folder / name;
    if (!WriteObject(file, session.Items()[i])) {
      return Fail("read-all", file.string() + ": the file could not be written");
    }
    std::printf("%s: %zu bytes\n", file.string().c_str(), session.Items()[i].size());
  }
  return Report("read-all", LinkCode::kReadCount, outcome);
}

int Write(CDeviceSession& session, const RequestParams& base, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return Fail("write", file.string() + ": the file could not be opened");
  }
  const std::vector<std::uint8_t> object((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!CBlockFormat::FitsBlockNumbers(static_cast<std::uint32_t>(std::min<std::size_t>(object.size(), 0xFFFFFFFFu)))) {
    return Fail("write", file.string() + ": larger than the 261120 bytes one object may have");
  }
  RequestParams params = base;
  params.data = object.data();
  params.dataSize = static_cast<std::uint32_t>(object.size());
  return Report("write", LinkCode::kWriteStart, session.Request(LinkCode::kWriteStart, params));
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Usage("no verb given");
  }
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return kCliOk;
    }
  }
  const std::string& verb = args[0];
  struct Shape {
    const char* verb;
    std::size_t numbers;
    std::size_t words;
  };
  static const Shape kShapes[] = {{"info", 0, 0},  {"count", 1, 0}, {"read", 2, 1},     {"read-all", 1, 1},
                                  {"write", 3, 1}, {"erase", 2, 0}, {"remaining", 2, 0}};
  const Shape* shape = nullptr;
  for (const Shape& candidate : kShapes) {
    if (verb == candidate.verb) {
      shape = &candidate;
    }
  }
  if (shape == nullptr) {
    return Usage("unknown verb '" + verb + "'");
  }
  if (args.size() != 1 + shape->numbers + shape->words) {
    return Usage("wrong number of arguments for '" + verb + "'");
  }
  std::vector<std::uint32_t> numbers;
  for (std::size_t i = 0; i < shape->numbers; ++i) {
    const auto value = Number(args[1 + i]);
    if (!value) {
      return Usage("'" + args[1 + i] + "' is not a number");
    }
    numbers.push_back(*value);
  }
  const std::string word = shape->words != 0 ? args.back() : std::string();

  CDeviceSession session;
  if (const auto problem = session.Open()) {
    return Fail(verb, *problem);
  }
  RequestParams params;
  params.kind = numbers.empty() ? 0 : numbers[0];
  if (verb == "info") {
    return Info(session);
  }
  if (verb == "count") {
    params.arg1 = 1;
    return Report(verb, LinkCode::kReadCount, session.Request(LinkCode::kReadCount, params));
  }
  if (verb == "read") {
    return ReadOne(session, numbers[0], numbers[1], word);
  }
  if (verb == "read-all") {
    return ReadAll(session, numbers[0], word);
  }
  if (verb == "write") {
    params.arg1 = numbers[1];
    params.arg2 = numbers[2];
    return Write(session, params, word);
  }
  if (verb == "erase") {
    params.arg3 = numbers[1];
    return Report(verb, LinkCode::kDelete, session.Request(LinkCode::kDelete, params));
  }
  params.arg1 = numbers[1];
  return Report(verb, LinkCode::kRemainSize, session.Request(LinkCode::kRemainSize, params));
}

const CCliArea kDeviceArea("device", "raw operations on the handset through the device link", &Run);

}  // namespace
