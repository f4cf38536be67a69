#pragma once

#include <cstdint>
#include <optional>

// The handset's indications and what the link does with each: 7 entries of 6 bytes
// (code 16 bits, window message 16 bits, action 8 bits, unused).
class CIndicationTable {
 public:
  enum Action : std::uint8_t {
    kBroadcast = 0,           // post to every open window of application indices 2..9
    kCloseThenNotify = 2,     // close the open session, then tell application index 6
    kTellResidentWindow = 4,  // post to the window of application index 11
    kRefusePending = 5,       // refuse the pending request
  };

  struct Entry {
    std::uint16_t code;
    std::uint16_t message;  // offset-free message number (WM_APP + n)
    std::uint8_t action;
  };

  static constexpr std::size_t kEntryCount = 7;

  static std::optional<Entry> Find(std::uint16_t code);
  static const Entry* Entries();
};
