#include <gtest/gtest.h>

#include "picture/HandsetPictureList.h"
#include "picture/PictureName.h"

namespace {

TEST(PictureNameTest, NameCheck) {
  EXPECT_TRUE(CPictureName::IsValid("A"));
  EXPECT_TRUE(CPictureName::IsValid("123456789012345"));
  EXPECT_TRUE(CPictureName::IsValid("My pic (2)"));
  EXPECT_TRUE(CPictureName::IsValid("trailing "));
  EXPECT_FALSE(CPictureName::IsValid(""));
  EXPECT_FALSE(CPictureName::IsValid("1234567890123456"));
  EXPECT_FALSE(CPictureName::IsValid(" leading"));
  EXPECT_FALSE(CPictureName::IsValid("mail@home"));
  EXPECT_FALSE(CPictureName::IsValid("back`tick"));
  EXPECT_FALSE(CPictureName::IsValid("tab\there"));
  EXPECT_FALSE(CPictureName::IsValid("caf\xC3\xA9"));
  EXPECT_FALSE(CPictureName::IsValid(std::string("nul\0x", 5)));
}

TEST(PictureNameTest, CharacterSet) {
  const std::string allowed =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 &'(),./#*-!\"$%+:;<=>?[\\]^_{|}~";
  for (char c : allowed) {
    EXPECT_TRUE(CPictureName::IsHandsetCharacter(static_cast<unsigned char>(c))) << c;
  }
  int count = 0;
  for (char32_t c = 0; c < 0x200; ++c) {
    count += CPictureName::IsHandsetCharacter(c) ? 1 : 0;
  }
  EXPECT_EQ(count, static_cast<int>(allowed.size()));  // printable ASCII without '@' and '`'
}

TEST(PictureNameTest, ProposedName) {
  EXPECT_EQ(CPictureName::ProposedFromPath("/home/u/Pictures/Beach 2024.jpg"), "Beach 2024");
  EXPECT_EQ(CPictureName::ProposedFromPath("photo.final.png"), "photo.final");
  EXPECT_EQ(CPictureName::ProposedFromPath("/data.d/readme"), "readme");
  EXPECT_EQ(CPictureName::ProposedFromPath("/x/me@home.bmp"), "me home");
  // One blank per character, however many bytes it takes.
  EXPECT_EQ(CPictureName::ProposedFromPath("/x/caf\xC3\xA9 \xE2\x82\xAC.tif"), "caf   ");
  EXPECT_EQ(CPictureName::ProposedFromPath("/x/.png"), "");
  // Cut to the 15 characters the name box holds.
  EXPECT_EQ(CPictureName::ProposedFromPath("/x/a very long picture name.png"), "a very long pic");
}

TEST(HandsetPictureListTest, EntriesAndItemData) {
  CHandsetPictureList list;
  const std::uint8_t first[] = {3, 0, 'S', 'u', 'n', 0, 'x'};
  std::uint8_t second[34] = {200, 0};
  for (int i = 2; i < 34; ++i) {
    second[i] = static_cast<std::uint8_t>('a' + i % 26);
  }
  second[5] = 0x80;  // not a handset character
  EXPECT_TRUE(list.AppendEntry(PictureKind::Wallpaper, first, sizeof first));
  EXPECT_TRUE(list.AppendEntry(PictureKind::PictureId, second, sizeof second));
  EXPECT_FALSE(list.AppendEntry(PictureKind::Wallpaper, first, 1));
  EXPECT_FALSE(list.AppendEntry(PictureKind::Wallpaper, second, 35));
  EXPECT_FALSE(list.AppendEntry(PictureKind::Wallpaper, nullptr, 10));
  ASSERT_EQ(list.Items().size(), 2u);
  EXPECT_EQ(list.Items()[0].label, "[1]");
  EXPECT_EQ(list.Items()[0].name, "Sun");
  EXPECT_EQ(list.Items()[0].itemData, 0x103u);
  EXPECT_EQ(list.Items()[1].label, "[2]");
  EXPECT_EQ(list.Items()[1].name, "cde ghijklmnopq");
  EXPECT_EQ(list.Items()[1].itemData, 0x2C8u);
  // A two-byte entry has an empty name.
  EXPECT_TRUE(list.AppendEntry(PictureKind::Wallpaper, first, 2));
  EXPECT_EQ(list.Items()[2].name, "");

  const auto wallpaper = CHandsetPictureList::FromItemData(0x103);
  ASSERT_TRUE(wallpaper);
  EXPECT_EQ(wallpaper->kind, PictureKind::Wallpaper);
  EXPECT_EQ(wallpaper->number, 3);
  const auto pictureId = CHandsetPictureList::FromItemData(0x2C8);
  ASSERT_TRUE(pictureId);
  EXPECT_EQ(pictureId->kind, PictureKind::PictureId);
  EXPECT_EQ(pictureId->number, 200);
  EXPECT_FALSE(CHandsetPictureList::FromItemData(0x07));
}

TEST(HandsetPictureListTest, FreeSpace) {
  const std::uint8_t reply[] = {0x01, 0x02, 0xFF};
  EXPECT_EQ(CHandsetPictureList::ParseFreeSpaceReply(reply, 3), 0x0102);
  EXPECT_EQ(CHandsetPictureList::ParseFreeSpaceReply(reply, 2), 0x0102);
  EXPECT_FALSE(CHandsetPictureList::ParseFreeSpaceReply(reply, 1));
  EXPECT_FALSE(CHandsetPictureList::ParseFreeSpaceReply(nullptr, 2));

  CHandsetPictureList list;
  EXPECT_FALSE(list.HasRoomFor(4160));  // not learned yet
  list.SetFreeKilobytes(15);
  list.SetFreeItems(3);
  EXPECT_FALSE(list.HasRoomFor(RecordSize(PictureKind::Wallpaper)));  // 15648 > 15360
  EXPECT_TRUE(list.HasRoomFor(RecordSize(PictureKind::PictureId)));
  list.SetFreeItems(0);
  EXPECT_FALSE(list.HasRoomFor(RecordSize(PictureKind::PictureId)));
  list.Clear();
  EXPECT_FALSE(list.FreeKilobytes());
}

}  // namespace
