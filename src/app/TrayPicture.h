#pragma once

#include <QIcon>

// The tray icon's pictures: the handset connected (icon resource 153) or not (154).
class CTrayPicture {
 public:
  static QIcon Icon(bool connected);
};
