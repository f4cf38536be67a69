#pragma once

class QUrl;

// Opens an address with the desktop's handler (the web browser for help pages). A seam so
// tests can see what would be opened and make the start fail.
class IUrlOpener {
 public:
  virtual ~IUrlOpener() = default;
  // False when no program could be started for the address.
  virtual bool Open(const QUrl& url) = 0;
};
