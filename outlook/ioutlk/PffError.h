#pragma once

#include <libpff.h>

// libpff reports a failure through an error object that the caller frees. The library has
// no use for its text: this holds one for a call and frees it afterwards.
class CPffError {
 public:
  CPffError() = default;
  ~CPffError() {
    if (m_error != nullptr) {
      libpff_error_free(&m_error);
    }
  }
  CPffError(const CPffError&) = delete;
  CPffError& operator=(const CPffError&) = delete;
  libpff_error_t** operator&() { return &m_error; }

 private:
  libpff_error_t* m_error = nullptr;
};
