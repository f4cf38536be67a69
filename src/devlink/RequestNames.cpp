#include "devlink/RequestNames.h"

#include <cstring>
#include <utility>

namespace {

constexpr std::pair<std::uint16_t, const char*> kNamed[] = {
    {0xE01, "EVENT_CONNECT_REQ"},
    {0xE03, "EVENT_DISCONNECT_REQ"},
    {0xE11, "EVENT_PORT_OPEN_REQ"},
    {0xE13, "EVENT_PORT_CLOSE_REQ"},
    {0xE51, "EVENT_DISCOVERY_REQ"},
    {0xE52, "EVENT_DISCOVERY_STOP_REQ"},
    {0xE55, "EVENT_SERVICE_REQ"},
    {0xE56, "EVENT_SERVICE_STOP_REQ"},
    {0xE5A, "EVENT_ACL_DISCONNECT_REQ"},
    {0xE5C, "EVENT_RADIO_TRAFFIC_REQ"},
    {0xE60, "EVENT_CONNECT_MODE_REQ"},
    {0xE62, "EVENT_CONNECT_MODE_CHK_REQ"},
    {0xE64, "EVENT_PREV_CONNECT_INF_REQ"},
    {0xE66, "EVENT_PREV_CONNECT_INF_DEL_REQ"},
    {0xE68, "EVENT_WINAPP_START_IND"},
    {0xE69, "EVENT_WINAPP_END_IND"},
    {0xE71, "EVENT_MODEL_INFO_REQ"},
    {0xE73, "EVENT_UTILITY_MODE_REQ"},
    {0xE75, "EVENT_UTILITY_WRITE_START_REQ"},
    {0xE77, "EVENT_UTILITY_WRITE_STOP_REQ"},
    {0xE7A, "EVENT_UTILITY_READ_NO_REQ"},
    {0xE7C, "EVENT_UTILITY_READ_REQ"},
    {0xE7E, "EVENT_UTILITY_READ_STOP_REQ"},
    {0xE81, "EVENT_UTILITY_DELETE_REQ"},
    {0xE83, "EVENT_UTILITY_REMAIN_SIZE_REQ"},
    {0xE85, "EVENT_UTILITY_PLAY_START_REQ"},
    {0xE87, "EVENT_UTILITY_PLAY_STOP_REQ"},
    {0xE8A, "EVENT_UTILITY_TAM_START_REQ"},
    {0xE8C, "EVENT_UTILITY_TAM_STOP_REQ"},
    {0xE8F, "EVENT_UTILITY_SET_DEFAULT_REQ"},
    {0xE91, "EVENT_UTILITY_KEY_OPERATION_REQ"},
    {0xE95, "EVENT_UTILITY_SESSION_REQ"},
};

void Fill(std::array<char, CRequestNames::kEntrySize>& entry, const char* text) {
  entry.fill('\0');
  std::strncpy(entry.data(), text, entry.size() - 1);
}

}  // namespace

CRequestNames::Table CRequestNames::Build() {
  Table table{};
  for (auto& entry : table) {
    Fill(entry, "None");
  }
  for (const auto& [code, name] : kNamed) {
    Fill(table[code - kFirstCode], name);
  }
  return table;
}

const CRequestNames::Table& CRequestNames::Entries() {
  static const Table table = Build();
  return table;
}

const char* CRequestNames::Name(std::uint32_t code) {
  if (code < kFirstCode || code >= kFirstCode + kEntryCount) {
    return Entries()[0].data();  // entry 0xE00 is unnamed: "None"
  }
  return Entries()[code - kFirstCode].data();
}
