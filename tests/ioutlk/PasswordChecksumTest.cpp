// The checksum Outlook stores for the password of a data file.
#include "ioutlk/PasswordChecksum.h"

#include <gtest/gtest.h>

// Published pairs of passwords and the checksums Outlook stored for them.
TEST(PasswordChecksum, MatchesTheChecksumsOutlookStores) {
  EXPECT_EQ(PasswordChecksum(""), 0u);
  EXPECT_EQ(PasswordChecksum("openwall"), 0xa9290513u);
  EXPECT_EQ(PasswordChecksum("password"), 0x50e099bcu);
  EXPECT_EQ(PasswordChecksum("xxx"), 0xe3da3318u);
  EXPECT_EQ(PasswordChecksum("XYz123"), 0xa655dd18u);
}

TEST(PasswordChecksum, TypedPasswordsMatchInUtf8OrLatin1) {
  EXPECT_TRUE(PasswordMatches("openwall", 0xa9290513u));
  EXPECT_FALSE(PasswordMatches("Openwall", 0xa9290513u));
  EXPECT_FALSE(PasswordMatches("", 0xa9290513u));
  // "Müller" typed as UTF-8 matches a checksum of its Latin-1 bytes and of its UTF-8 bytes.
  EXPECT_TRUE(PasswordMatches("M\xC3\xBCller", PasswordChecksum("M\xFCller")));
  EXPECT_TRUE(PasswordMatches("M\xC3\xBCller", PasswordChecksum("M\xC3\xBCller")));
  // A character outside Latin-1 has no single-byte form.
  EXPECT_FALSE(PasswordMatches("\xE2\x82\xAC", PasswordChecksum("\x80")));
}
