#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// A window handle issued by CWindowRegistry. 0 is never a live window.
using WindowHandle = std::uint64_t;

// Base of the application-defined window messages.
inline constexpr std::uint32_t WM_APP = 0x8000;

// One posted message. The optional payload is an owned snapshot of bytes (a reply or a
// received object), so the receiver never reads memory that the sender may change or free.
struct WindowMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> payload;
};
