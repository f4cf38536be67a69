// The user's settings file (an INI file of the registry values): every value the program
// reads at start-up and in its windows, through the Qt settings backend and the store.
// Values the program would create are kept in memory, so the input is never written to.
#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "MemoryFile.h"
#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "platform/MemorySettingsBackend.h"
#include "platform/QtSettingsBackend.h"

namespace {

// Reads from the settings file, writes to memory.
class CReadOnlyBackend : public ISettingsBackend {
 public:
  explicit CReadOnlyBackend(const QString& file) : m_file(file) {}
  bool Read(const std::string& key, const std::string& name, SettingType type,
            std::vector<std::uint8_t>& data) override {
    return m_written.Read(key, name, type, data) || m_file.Read(key, name, type, data);
  }
  bool Write(const std::string& key, const std::string& name, SettingType type,
             const std::vector<std::uint8_t>& data) override {
    return m_written.Write(key, name, type, data);
  }
  bool Delete(const std::string& key, const std::string& name) override { return m_written.Delete(key, name); }
  bool CreateKey(const std::string& key) override { return m_written.CreateKey(key); }

 private:
  CQtSettingsBackend m_file;
  CMemorySettingsBackend m_written;
};

// Qt keeps parsed settings files by name and time stamp; a name of its own for each input
// (the input's descriptor copied to a number that cycles) keeps one input from reading
// another's values.
class CFreshName {
 public:
  explicit CFreshName(const CMemoryFile& input) {
    static int next = 0;
    m_fd = fcntl(input.Descriptor(), F_DUPFD_CLOEXEC, 200 + (next++ % 800));
    m_path = QString("/proc/self/fd/%1").arg(m_fd);
  }
  ~CFreshName() { close(m_fd); }
  const QString& Path() const { return m_path; }

 private:
  int m_fd;
  QString m_path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CMemoryFile input(data, size);
  const CFreshName name(input);
  CSettingsStore store(std::make_unique<CReadOnlyBackend>(name.Path()));
  store.ReadOrCreateDword(kProductKey, "Language", 0);
  store.ReadOrCreateDword(kProductKey, "Balloon", 3000);
  store.ReadOrCreateDword(kProductKey, "VendorID", kDefaultVendorId);
  store.ReadOrCreateDword(kProductKey, "ProductID", kDefaultProductId);
  for (const char* setting :
       {"TransCommandRetryCount", "RequestRetryCount", "RequestTimeOut", "EventStatusCount", "DriverStatusCount"}) {
    store.ReadOrCreateDword(kProductKey + "Communicate", setting, 5);
  }
  store.ReadOrCreateString(kProductKey + "Communicate", "DriverLibrary", "udfp-usb.so");
  store.ReadOrCreateDword(kProductKey + "PhoneBook", "FreeEdit", 1);
  store.ReadOrCreateDword(kProductKey + "PhoneBook", "FileHistMax", 4);
  for (int i = 0; i < 4; ++i) {
    store.ReadOrCreateString(kProductKey + "PhoneBook\\FileHistry", std::to_string(i), "");
  }
  for (const char* setting : {"MaxUndoCount", "MaxVolume", "MaxZoomSize", "VolumeChangeRate"}) {
    store.ReadOrCreateDword(kProductKey + "Melody", setting, 10);
  }
  std::uint8_t binary[8] = {};
  std::uint32_t binarySize = sizeof binary;
  store.ReadOrCreate(kProductKey, "Binary", REG_BINARY, binary, binarySize);
  CAppStatus status(&store);
  std::uint32_t value = 0;
  for (std::uint32_t index = 0; index < kApplicationCount; ++index) {
    status.GetBootValue(index, value);
  }
  status.GetModelField(65, value);
  return 0;
}
