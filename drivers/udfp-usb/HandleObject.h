#pragma once

// Base of everything the library hands out a 32-bit handle for (devices and pipes), so one
// table can issue handles from a single number space and a pipe handle passed where a device
// handle is expected is refused rather than misread.
class CHandleObject {
 public:
  virtual ~CHandleObject() = default;
};
