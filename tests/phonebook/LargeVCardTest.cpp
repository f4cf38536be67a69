// vCard files as large as phones write them when contacts carry photos. The test's CTest
// time-out stops a reader that slows down with the length of a folded value.
#include "phonebook/ImportJob.h"
#include "phonebook/VCardFormat.h"

#include <gtest/gtest.h>

namespace {

using Cells = std::vector<std::string>;

// A card whose base64 photo of about `photoBytes` is folded into lines of 75 characters
// the version 3.0 way.
std::string CardWithFoldedPhoto(const std::string& name, const std::string& number, std::size_t photoBytes) {
  std::string card =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;" + name + ";;;\r\nFN:" + name + "\r\nPHOTO;ENCODING=b;TYPE=JPEG:";
  const std::string chunk(74, 'Q');
  for (std::size_t written = 0; written < photoBytes; written += chunk.size()) {
    card += chunk + "\r\n ";
  }
  return card + "Zg==\r\nTEL;TYPE=CELL:" + number + "\r\nEND:VCARD\r\n";
}

TEST(LargeVCard, SixMegabytePhotoAmongTenMegabytesOfCards) {
  std::string text = CardWithFoldedPhoto("Photo", "555-0001", 6u << 20);
  for (int i = 0; text.size() < (10u << 20); ++i) {
    text += CardWithFoldedPhoto("Card " + std::to_string(i), "030-" + std::to_string(1000000 + i), 4000);
  }
  const CImportGrid grid = ParseVCardText(text);
  ASSERT_GT(grid.RowCount(), 700u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Photo", "5550001"}));
  EXPECT_EQ(grid.RowCells(1), (Cells{"Card 0", "0301000000"}));
  const std::size_t last = grid.RowCount() - 1;
  EXPECT_EQ(grid.RowCells(last),
            (Cells{"Card " + std::to_string(last - 1), "030" + std::to_string(1000000 + last - 1)}));
}

TEST(LargeVCard, QuotedPrintableValueWithManySoftLineBreaks) {
  std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;ENCODING=QUOTED-PRINTABLE:";
  for (int i = 0; i < 100000; ++i) {
    text += "=41=42=43=44=45=46=47=48=49=4A=4B=4C=4D=4E=4F=50=51=52=53=54=55=56=57=58=\r\n";
  }
  text += "end\r\nFN:Notes\r\nTEL:555-0002\r\nEND:VCARD\r\n";
  const CImportGrid grid = ParseVCardText(text);
  ASSERT_EQ(grid.RowCount(), 1u);
  EXPECT_EQ(grid.RowCells(0), (Cells{"Notes", "5550002"}));
}

}  // namespace
