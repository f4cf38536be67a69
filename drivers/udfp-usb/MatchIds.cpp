#include "MatchIds.h"

#include <cstdlib>

namespace {

uint16_t FromVariable(const char* name, uint16_t fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return fallback;
  }
  return CMatchIds::ParseHex(value).value_or(fallback);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

CMatchIds CMatchIds::FromEnvironment() {
  CMatchIds ids;
  ids.vendorId = FromVariable("ORVANE_USB_VENDOR_ID", kDefaultVendorId);
  ids.productId = FromVariable("ORVANE_USB_PRODUCT_ID", kDefaultProductId);
  return ids;
}

std::optional<uint16_t> CMatchIds::ParseHex(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 4) {
    return std::nullopt;
  }
  unsigned value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0) {
      return std::nullopt;
    }
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<uint16_t>(value);
}
