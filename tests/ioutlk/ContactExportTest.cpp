// The export over libpff on the sample files: which items become lines and which folder
// is left out.
#include "OutlookTestFiles.h"
#include "ioutlk/ContactExport.h"
#include "ioutlk/PffError.h"

#include <gtest/gtest.h>

using namespace outlooktest;

namespace {

std::string Lines(const std::string& sample, std::uint32_t* written = nullptr) {
  CPffFile file;
  EXPECT_TRUE(file.Open(Sample(sample).string()));
  const std::atomic<bool> cancel{false};
  CContactExport exporter(file, cancel);
  std::string lines;
  EXPECT_EQ(exporter.Run(lines), CContactExport::Status::Ok);
  EXPECT_EQ(exporter.Skipped(), 0u);
  if (written != nullptr) {
    *written = exporter.Written();
  }
  return lines;
}

std::string FolderName(libpff_item_t* folder) {
  std::size_t size = 0;
  CPffError error;
  if (libpff_folder_get_utf8_name_size(folder, &size, &error) != 1 || size == 0) {
    return {};
  }
  std::string name(size, '\0');
  libpff_folder_get_utf8_name(folder, reinterpret_cast<std::uint8_t*>(name.data()), size, &error);
  return name.substr(0, name.find('\0'));
}

PffItem SubFolder(libpff_item_t* folder, const std::string& name) {
  int count = 0;
  CPffError error;
  libpff_folder_get_number_of_sub_folders(folder, &count, &error);
  for (int i = 0; i < count; ++i) {
    libpff_item_t* sub = nullptr;
    if (libpff_folder_get_sub_folder(folder, i, &sub, &error) == 1) {
      PffItem owned(sub);
      if (FolderName(owned.get()) == name) {
        return owned;
      }
    }
  }
  return nullptr;
}

}  // namespace

TEST(ContactExport, ContactsOnlyNotTheDistributionList) {
  std::uint32_t written = 0;
  const std::string lines = Lines("dist-list.pst", &written);
  EXPECT_EQ(written, 1u);
  EXPECT_EQ(lines.rfind("\"\",\"\",\"\",\"\",\"\",\"contact name 1\",\"\"", 0), 0u) << lines;
}

TEST(ContactExport, EveryContactOfTheContactsFolder) {
  std::uint32_t written = 0;
  const std::string lines = Lines("SampleContacts1.pst", &written);
  EXPECT_EQ(written, 6u);
  EXPECT_NE(lines.find("\"Bertha A. Buell\""), std::string::npos);
  EXPECT_EQ(Lines("SampleContacts.pst"), lines);
}

// The folder left out is the one the message store names as Deleted Items.
TEST(ContactExport, TheDeletedItemsFolderIsKnownByTheMessageStore) {
  for (const char* sample : {"SampleContacts.pst", "dist-list.pst", "passworded.pst"}) {
    CPffFile file;
    ASSERT_TRUE(file.Open(Sample(sample).string()));
    const std::optional<std::uint32_t> wastebasket = file.WastebasketId();
    ASSERT_TRUE(wastebasket) << sample;
    const PffItem root = file.RootFolder();
    const PffItem top = SubFolder(root.get(), "Top of Personal Folders");
    ASSERT_TRUE(top) << sample;
    const PffItem deleted = SubFolder(top.get(), "Deleted Items");
    ASSERT_TRUE(deleted) << sample;
    std::uint32_t id = 0;
    CPffError error;
    ASSERT_EQ(libpff_item_get_identifier(deleted.get(), &id, &error), 1);
    EXPECT_EQ(*wastebasket, id) << sample;
  }
}

TEST(ContactExport, StopsWhenCancelled) {
  CPffFile file;
  ASSERT_TRUE(file.Open(Sample("SampleContacts.pst").string()));
  const std::atomic<bool> cancel{true};
  CContactExport exporter(file, cancel);
  std::string lines;
  EXPECT_EQ(exporter.Run(lines), CContactExport::Status::Cancelled);
  EXPECT_EQ(exporter.Written(), 0u);
}
