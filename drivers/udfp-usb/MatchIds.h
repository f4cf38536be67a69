#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The USB vendor and product identifiers of the handsets the library opens and watches.
struct CMatchIds {
  static constexpr uint16_t kDefaultVendorId = 0x3A7E;
  static constexpr uint16_t kDefaultProductId = 0x1276;

  uint16_t vendorId = kDefaultVendorId;
  uint16_t productId = kDefaultProductId;

  // The defaults, each overridden by ORVANE_USB_VENDOR_ID / ORVANE_USB_PRODUCT_ID when that
  // variable holds a hexadecimal number of 1 to 4 digits (an optional 0x prefix allowed).
  static CMatchIds FromEnvironment();
  // A 16-bit hexadecimal identifier, or nothing when the text is not one.
  static std::optional<uint16_t> ParseHex(std::string_view text);
};
