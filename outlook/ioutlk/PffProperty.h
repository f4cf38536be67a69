#pragma once

#include <libpff.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reading one property of an item (its first record set) by MAPI property id, whatever
// value type the file stored it with.
enum class PffRead { Found, Missing, Unreadable };

// Text properties come back as UTF-8, whether the file holds them as UTF-16 or in its
// code page. A value longer than maxBytes counts as unreadable.
PffRead ReadPffText(libpff_item_t* item, std::uint32_t tag, std::string& text, std::size_t maxBytes);
PffRead ReadPffUint32(libpff_item_t* item, std::uint32_t tag, std::uint32_t& value);
PffRead ReadPffBytes(libpff_item_t* item, std::uint32_t tag, std::vector<std::uint8_t>& bytes, std::size_t maxBytes);
