#pragma once

#include <cstdint>
#include <string_view>

// Outlook keeps no password in a protected data file, only a 32-bit checksum of it in the
// message store (property 0x67FF): the data file format's CRC-32 (reflected polynomial
// 0xEDB88320, starting at 0, no final inversion) over the password's bytes. Any text with
// the same checksum opens the file in Outlook too.
std::uint32_t PasswordChecksum(std::string_view bytes);

// Whether a password typed as UTF-8 matches the stored checksum: its UTF-8 bytes, or, when
// every character is in Latin-1, the single-byte form older Outlook versions stored.
bool PasswordMatches(std::string_view utf8Password, std::uint32_t storedChecksum);
