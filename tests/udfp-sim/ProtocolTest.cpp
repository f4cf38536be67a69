// The emulated handset's protocol seen from the host: sessions, replies, blocks, stores.
#include <gtest/gtest.h>

#include <cstring>

#include "SimHost.h"
#include "appcore/SettingsStore.h"

namespace {

static_assert(UDFP_SIM_VENDOR_ID == kDefaultVendorId && UDFP_SIM_PRODUCT_ID == kDefaultProductId,
              "the emulated handset is the one the program looks for by default");

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.Start()); }
  void TearDown() override { m_host.Stop(); }
  CSimHost m_host;
};

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed = 7) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 8));
  }
  return bytes;
}

std::vector<std::uint8_t> Named(std::size_t size, const char* name) {
  std::vector<std::uint8_t> record = Pattern(size);
  std::memset(record.data(), 0, 32);
  std::memcpy(record.data(), name, std::strlen(name));
  return record;
}

std::uint8_t ReplyByte(const std::optional<std::vector<std::uint8_t>>& reply) {
  return reply && !reply->empty() ? (*reply)[0] : 0xEE;
}

TEST_F(ProtocolTest, IdentifiesItselfAndAnswersTheSessionByte) {
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  ASSERT_NE(UdfpGetDeviceInfo(m_host.Device(), &vendor, &product), 0);
  EXPECT_EQ(vendor, 0x3A7Eu);
  EXPECT_EQ(product, 0x1276u);
  EXPECT_EQ(UdfpOpen(), UDFP_INVALID_HANDLE) << "a second open of a claimed handset must fail";

  EXPECT_EQ(m_host.Session(true), 0);
  UdfpSimState state{};
  UdfpSimGetState(&state);
  EXPECT_EQ(state.sessionOpen, 1);
  EXPECT_EQ(m_host.Session(false), 0);
  UdfpSimGetState(&state);
  EXPECT_EQ(state.sessionOpen, 0);

  // Unknown requests stall instead of being answered with garbage.
  std::uint8_t byte = 0;
  EXPECT_EQ(UdfpVendorRequest(m_host.Device(), UDFP_REQTYPE_OUT, 9, 0xE95, 0, 1, &byte), 0);
  EXPECT_EQ(UdfpVendorRequest(m_host.Device(), UDFP_REQTYPE_IN, 0, 7, 0, 1, &byte), 0);
}

TEST_F(ProtocolTest, ObjectsOfBlockBoundarySizesRoundTripByteExact) {
  for (std::size_t size : {std::size_t{1}, std::size_t{1020}, std::size_t{1021}, std::size_t{261120}}) {
    UdfpSimStoreClear(UDFP_SIM_KIND_RAW);
    UdfpSimResetCounters();
    const auto bytes = Pattern(size, static_cast<std::uint8_t>(size));
    EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_RAW, bytes), UDFP_SIM_ACK_ACCEPTED) << size;
    const auto back = m_host.ReadObject(UDFP_SIM_KIND_RAW, 1);
    ASSERT_TRUE(back.has_value()) << size;
    EXPECT_EQ(*back, bytes) << size;
    UdfpSimCounters counters{};
    UdfpSimGetCounters(&counters);
    const std::uint32_t blocks = static_cast<std::uint32_t>((size + 1019) / 1020);
    EXPECT_EQ(counters.blocksWritten, blocks) << size;
    EXPECT_EQ(counters.blocksRead, blocks) << size;
  }
}

TEST_F(ProtocolTest, OperationsNeedASessionAndAKnownKind) {
  auto reply = m_host.Request(0xE81, {UDFP_SIM_KIND_PHONEBOOK, 255});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->code, 0xE82);
  EXPECT_EQ(reply->data, std::vector<std::uint8_t>{UDFP_SIM_REFUSE_NO_SESSION});
  reply = m_host.Request(0xE7A, {UDFP_SIM_KIND_PHONEBOOK});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, std::vector<std::uint8_t>{UDFP_SIM_COUNT_FAILED});

  EXPECT_EQ(m_host.ReadCount(77), UDFP_SIM_COUNT_FAILED);
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE7C, {77, 1})), UDFP_SIM_REFUSE_UNKNOWN_KIND);
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE81, {77, 1})), UDFP_SIM_REFUSE_UNKNOWN_KIND);
  EXPECT_EQ(m_host.WriteObject(77, Pattern(10)), UDFP_SIM_REFUSE_UNKNOWN_KIND);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_CALLER_LIST, Pattern(32)), UDFP_SIM_REFUSE_UNKNOWN_KIND)
      << "the caller list is the handset's own";
  EXPECT_EQ(m_host.Operation(0xE83, {77, 0}), (std::vector<std::uint8_t>{0, 0}));
}

TEST_F(ProtocolTest, PhonebookKeepsRecordsInOrderAndRefusesWhatDoesNotFit) {
  UdfpSimSetCapacity(UDFP_SIM_KIND_PHONEBOOK, 2);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, Pattern(35)), UDFP_SIM_REFUSE_WRONG_SIZE);
  const auto first = Pattern(36, 1);
  const auto second = Pattern(36, 2);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, first), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, second), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PHONEBOOK, Pattern(36, 3)), UDFP_SIM_REFUSE_MEMORY_FULL);
  EXPECT_EQ(m_host.Operation(0xE83, {UDFP_SIM_KIND_PHONEBOOK, 1}), (std::vector<std::uint8_t>{0, 0}));

  EXPECT_EQ(m_host.ReadCount(UDFP_SIM_KIND_PHONEBOOK), 2);
  EXPECT_EQ(m_host.ReadObject(UDFP_SIM_KIND_PHONEBOOK, 2), second);
  EXPECT_FALSE(m_host.ReadObject(UDFP_SIM_KIND_PHONEBOOK, 3).has_value());
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE7C, {UDFP_SIM_KIND_PHONEBOOK, 0})), UDFP_SIM_REFUSE_BAD_ITEM);

  // Deleting the first entry moves the second to position 1; 255 erases all.
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE81, {UDFP_SIM_KIND_PHONEBOOK, 1})), 0);
  EXPECT_EQ(m_host.ReadObject(UDFP_SIM_KIND_PHONEBOOK, 1), second);
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE81, {UDFP_SIM_KIND_PHONEBOOK, 9})), UDFP_SIM_REFUSE_BAD_ITEM);
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE81, {UDFP_SIM_KIND_PHONEBOOK, 255})), 0);
  EXPECT_EQ(m_host.ReadCount(UDFP_SIM_KIND_PHONEBOOK), 0);
}

TEST_F(ProtocolTest, PicturesAreListedByItemNumberAndCountAgainstMemory) {
  const auto wallpaper = Named(UDFP_SIM_WALLPAPER_RECORD_SIZE, "Sunset");
  const auto pictureId = Named(UDFP_SIM_PICTURE_ID_RECORD_SIZE, "Anna");
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_WALLPAPER, Pattern(4160)), UDFP_SIM_REFUSE_WRONG_SIZE);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_WALLPAPER, wallpaper, 1, 1), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_WALLPAPER, wallpaper, 1, 1), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PICTURE_ID, pictureId, 2, 1), UDFP_SIM_ACK_ACCEPTED);
  EXPECT_EQ(ReplyByte(m_host.Operation(0xE81, {UDFP_SIM_KIND_WALLPAPER, 1})), 0);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_WALLPAPER, wallpaper, 1, 1), UDFP_SIM_ACK_ACCEPTED);

  // Item 1 was free again, so the list shows items 1 and 2.
  ASSERT_EQ(m_host.ReadCount(UDFP_SIM_KIND_WALLPAPER_LIST), 2);
  const auto entry = m_host.ReadObject(UDFP_SIM_KIND_WALLPAPER_LIST, 2);
  ASSERT_TRUE(entry);
  ASSERT_EQ(entry->size(), 34u);
  EXPECT_EQ((*entry)[0], 2);
  EXPECT_EQ((*entry)[1], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry->data() + 2)), "Sunset");
  const auto idEntry = m_host.ReadObject(UDFP_SIM_KIND_PICTURE_ID_LIST, 1);
  ASSERT_TRUE(idEntry);
  EXPECT_EQ((*idEntry)[1], 2);
  EXPECT_EQ(m_host.ReadObject(UDFP_SIM_KIND_PICTURE_ID, 1), pictureId);

  const std::uint32_t used = 2 * UDFP_SIM_WALLPAPER_RECORD_SIZE + UDFP_SIM_PICTURE_ID_RECORD_SIZE;
  const std::uint32_t freeKb = (1024u * 1024u - used) / 1024u;
  EXPECT_EQ(m_host.Operation(0xE83, {UDFP_SIM_KIND_WALLPAPER, 0}),
            (std::vector<std::uint8_t>{static_cast<std::uint8_t>(freeKb >> 8), static_cast<std::uint8_t>(freeKb)}));
  EXPECT_EQ(m_host.Operation(0xE83, {UDFP_SIM_KIND_WALLPAPER, 1}), (std::vector<std::uint8_t>{0, 8}));

  // 15 free kilobytes hold a picture ID but not a wallpaper (15 648 > 15 360 bytes).
  ASSERT_EQ(UdfpSimSetFreeKilobytes(15), 1);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_WALLPAPER, wallpaper, 1, 1), UDFP_SIM_REFUSE_MEMORY_FULL);
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_PICTURE_ID, pictureId, 2, 1), UDFP_SIM_ACK_ACCEPTED);
}

TEST_F(ProtocolTest, MelodiesFillSlotsAndPlayUntilTheirEnd) {
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_MELODY, Named(32, "Empty")), UDFP_SIM_REFUSE_WRONG_SIZE);
  const auto melody = Named(32 + 900, "Tune");
  EXPECT_EQ(m_host.WriteObject(UDFP_SIM_KIND_MELODY, melody), UDFP_SIM_ACK_ACCEPTED);

  ASSERT_EQ(m_host.ReadCount(UDFP_SIM_KIND_MELODY_LIST), 10) << "one list entry per slot";
  const auto used = m_host.ReadObject(UDFP_SIM_KIND_MELODY_LIST, 1);
  const auto empty = m_host.ReadObject(UDFP_SIM_KIND_MELODY_LIST, 2);
  ASSERT_TRUE(used && empty);
  EXPECT_EQ((*used)[0], 1);
  EXPECT_EQ((*used)[1], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(used->data() + 2)), "Tune");
  EXPECT_EQ(*empty, (std::vector<std::uint8_t>{2, 0}));

  UdfpSimSetPlayDuration(30);
  ASSERT_EQ(m_host.Session(true), 0);
  auto reply = m_host.Request(0xE85, {UDFP_SIM_KIND_MELODY, 2});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, std::vector<std::uint8_t>{UDFP_SIM_REFUSE_BAD_ITEM});
  reply = m_host.Request(0xE85, {UDFP_SIM_KIND_MELODY, 1});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, std::vector<std::uint8_t>{0});
  auto ended = m_host.NextEvent();
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->code, UDFP_SIM_EVENT_PLAY_ENDED);
  EXPECT_TRUE(ended->data.empty());
  EXPECT_EQ(m_host.Session(false), 0);

  // Closing the session stops a melody without the end indication.
  UdfpSimSetPlayDuration(60000);
  ASSERT_EQ(m_host.Session(true), 0);
  ASSERT_TRUE(m_host.Request(0xE85, {UDFP_SIM_KIND_MELODY, 1}));
  EXPECT_EQ(m_host.Session(false), 0);
  UdfpSimState state{};
  UdfpSimGetState(&state);
  EXPECT_EQ(state.playing, 0);
  EXPECT_FALSE(m_host.NextEvent(100).has_value());
}

TEST_F(ProtocolTest, BlocksOutOfOrderOrOfTheWrongSizeEndTheWrite) {
  const auto bytes = Pattern(3000);
  auto start = [&](std::size_t size) {
    ASSERT_EQ(m_host.Session(true), 0);
    auto reply = m_host.Request(
        0xE75, {UDFP_SIM_KIND_RAW, 0, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 0, 0});
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->data, std::vector<std::uint8_t>{0});
  };
  start(bytes.size());
  auto ack = m_host.Exchange(CSimHost::WriteBlock(1, bytes.data(), 1020, false));
  EXPECT_EQ(ack, (std::vector<std::uint8_t>{UDFP_SIM_REFUSE_SEQUENCE, 1, 0, 0}));
  ack = m_host.Exchange(CSimHost::WriteBlock(0, bytes.data(), 1020, false));
  EXPECT_EQ(ack[0], UDFP_SIM_REFUSE_SEQUENCE) << "a refusal ends the write";
  m_host.Session(false);

  start(bytes.size());
  ack = m_host.Exchange(CSimHost::WriteBlock(0, bytes.data(), 1000, false));
  EXPECT_EQ(ack[0], UDFP_SIM_REFUSE_WRONG_SIZE) << "only the last block may be short";
  m_host.Session(false);

  start(bytes.size());
  EXPECT_EQ(m_host.Exchange(CSimHost::WriteBlock(0, bytes.data(), 1020, false))[0], UDFP_SIM_ACK_ACCEPTED);
  ack = m_host.Exchange(CSimHost::WriteBlock(1, bytes.data(), 500, true));
  EXPECT_EQ(ack[0], UDFP_SIM_REFUSE_WRONG_SIZE) << "the total must match the write start";
  m_host.Session(false);

  // Write stop drops the partial object.
  start(bytes.size());
  EXPECT_EQ(m_host.Exchange(CSimHost::WriteBlock(0, bytes.data(), 1020, false))[0], UDFP_SIM_ACK_ACCEPTED);
  auto stop = m_host.Request(0xE77, {UDFP_SIM_KIND_RAW, 1});
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->code, 0xE78);
  EXPECT_EQ(m_host.Exchange(CSimHost::WriteBlock(1, bytes.data(), 1020, false))[0], UDFP_SIM_REFUSE_SEQUENCE);
  m_host.Session(false);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 0);
}

TEST_F(ProtocolTest, AnObjectOverTwoHundredFiftySixBlocksIsRefused) {
  const std::size_t size = UDFP_SIM_MAX_OBJECT_SIZE + 1;
  const auto bytes = Pattern(size);
  ASSERT_EQ(m_host.Session(true), 0);
  ASSERT_TRUE(m_host.Request(
      0xE75, {UDFP_SIM_KIND_RAW, 0, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 0, 0}));
  for (std::size_t n = 0; n < 256; ++n) {
    ASSERT_EQ(
        m_host.Exchange(CSimHost::WriteBlock(static_cast<std::uint8_t>(n), bytes.data() + n * 1020, 1020, false))[0],
        UDFP_SIM_ACK_ACCEPTED);
  }
  // Block 256 would carry the number 0 again and overwrite the start of the object.
  EXPECT_EQ(m_host.Exchange(CSimHost::WriteBlock(0, bytes.data() + 256 * 1020, 1, true))[0],
            UDFP_SIM_REFUSE_WRONG_SIZE);
  m_host.Session(false);
  EXPECT_EQ(UdfpSimStoreCount(UDFP_SIM_KIND_RAW), 0);
}

TEST_F(ProtocolTest, ReadsCanRepeatABlockButNotGoPastTheEnd) {
  ASSERT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_RAW, Pattern(1500).data(), 1500), 0);
  ASSERT_EQ(m_host.Session(true), 0);
  ASSERT_EQ(m_host.Request(0xE7C, {UDFP_SIM_KIND_RAW, 1})->data, std::vector<std::uint8_t>{0});
  const auto first = m_host.Exchange({1, 0, 0, 0});
  EXPECT_EQ(first.size(), 1024u);
  EXPECT_EQ(first[2] & 0x80, 0);
  EXPECT_EQ(m_host.Exchange({1, 0, 0, 0}), first);
  const auto last = m_host.Exchange({1, 1, 0, 0});
  ASSERT_EQ(last.size(), 4u + 480u);
  EXPECT_EQ(last[2], 0x80 | (480 >> 8));
  EXPECT_EQ(last[3], 480 & 0xFF);
  EXPECT_EQ(m_host.Exchange({1, 2, 0, 0}), (std::vector<std::uint8_t>{UDFP_SIM_REFUSE_BAD_ITEM, 2, 0, 0}));
  m_host.Session(false);
  EXPECT_EQ(m_host.Exchange({1, 0, 0, 0})[0], UDFP_SIM_REFUSE_SEQUENCE) << "no read after the session closed";
}

TEST_F(ProtocolTest, DeviceInformationKeyOperationAndStatusBytes) {
  ASSERT_EQ(UdfpSimSetModelField(62, 10), 1);
  ASSERT_EQ(UdfpSimSetModelField(64, 3), 1);
  EXPECT_EQ(UdfpSimSetModelField(64, 4), 0) << "too wide for a 2-bit field";
  EXPECT_EQ(UdfpSimSetModelField(65, 1), 0) << "field 65 is not in the device information";
  const auto info = m_host.ReadObject(UDFP_SIM_KIND_DEVICE_INFO, 0);
  ASSERT_TRUE(info);
  ASSERT_EQ(info->size(), 16u);
  EXPECT_EQ((*info)[11], 0xA3);
  EXPECT_EQ((*info)[12], 50) << "phonebook capacity";
  EXPECT_EQ(m_host.ReadCount(UDFP_SIM_KIND_DEVICE_INFO), 1);
  auto model = m_host.Request(0xE71, {});
  ASSERT_TRUE(model);
  EXPECT_EQ(model->code, 0xE72);
  EXPECT_EQ(model->data, *info);

  std::uint8_t bytes[16] = {};
  bytes[12] = 200;
  ASSERT_EQ(UdfpSimSetDeviceInfo(bytes), 1);
  EXPECT_EQ(UdfpSimGetCapacity(UDFP_SIM_KIND_PHONEBOOK), 200);
  ASSERT_EQ(UdfpSimSetCapacity(UDFP_SIM_KIND_PHONEBOOK, 255), 1);
  EXPECT_EQ(UdfpSimGetCapacity(UDFP_SIM_KIND_PHONEBOOK), static_cast<std::int32_t>(UDFP_SIM_MAX_CAPACITY));

  auto status = [&](std::uint16_t index) {
    std::uint8_t byte = 0xEE;
    EXPECT_NE(UdfpVendorRequest(m_host.Device(), UDFP_REQTYPE_IN, 0, 1, index, 1, &byte), 0);
    return byte;
  };
  EXPECT_EQ(status(3), 0);
  auto key = m_host.Request(0xE91, {0});
  ASSERT_TRUE(key);
  EXPECT_EQ(key->code, 0xE92);
  EXPECT_EQ(key->data, std::vector<std::uint8_t>{0});
  EXPECT_EQ(status(3), 1);
  EXPECT_EQ(m_host.Request(0xE91, {1})->data, std::vector<std::uint8_t>{0});
  EXPECT_EQ(status(3), 0);
  EXPECT_EQ(m_host.Request(0xE91, {5})->data, std::vector<std::uint8_t>{UDFP_SIM_REFUSE_UNKNOWN_KIND});
  UdfpSimSetStatusByte(0, 0x42);
  EXPECT_EQ(status(0), 0x42);

  EXPECT_EQ(UdfpChangeApplicationMode(m_host.Device(), 4), 1);
  EXPECT_EQ(UdfpChangeApplicationMode(m_host.Device(), 5), 0);
  UdfpSimState state{};
  UdfpSimGetState(&state);
  EXPECT_EQ(state.applicationMode, 4u);
}

TEST_F(ProtocolTest, SampleContentIsValidForEveryStoreAndStopsAtTheCapacity) {
  UdfpSimSetCapacity(UDFP_SIM_KIND_PHONEBOOK, 50);
  EXPECT_EQ(UdfpSimStoreFill(UDFP_SIM_KIND_PHONEBOOK, 60), 50);
  const auto entry = m_host.ReadObject(UDFP_SIM_KIND_PHONEBOOK, 12);
  ASSERT_TRUE(entry);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry->data()), 8), "Entry 12");
  // 5550012: codes 5 5 5 0 0 1 2 with "0" as code 11.
  EXPECT_EQ((*entry)[16], 0x55);
  EXPECT_EQ((*entry)[17], 0x5B);
  EXPECT_EQ((*entry)[18], 0xB1);
  EXPECT_EQ((*entry)[19], 0x20);
  for (std::uint32_t kind : {UDFP_SIM_KIND_CALLER_LIST, UDFP_SIM_KIND_WALLPAPER, UDFP_SIM_KIND_PICTURE_ID,
                             UDFP_SIM_KIND_MELODY, UDFP_SIM_KIND_RAW}) {
    EXPECT_EQ(UdfpSimStoreFill(kind, 2), 2) << kind;
  }
  EXPECT_EQ(m_host.ReadCount(UDFP_SIM_KIND_PICTURE_ID_LIST), 2);
  const auto melody = m_host.ReadObject(UDFP_SIM_KIND_MELODY_LIST, 2);
  ASSERT_TRUE(melody);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(melody->data() + 2)), "Melody 02");
  EXPECT_EQ(UdfpSimStoreFill(UDFP_SIM_KIND_MELODY_LIST, 1), 0) << "a list is not a store";
}

TEST_F(ProtocolTest, CallerListDropsItsOldestEntryWhenFull) {
  UdfpSimSetCapacity(UDFP_SIM_KIND_CALLER_LIST, 2);
  EXPECT_EQ(UdfpSimStoreAdd(UDFP_SIM_KIND_CALLER_LIST, Pattern(31).data(), 31), 0);
  for (std::uint8_t seed = 1; seed <= 3; ++seed) {
    EXPECT_GT(UdfpSimStoreAdd(UDFP_SIM_KIND_CALLER_LIST, Pattern(32, seed).data(), 32), 0);
  }
  EXPECT_EQ(m_host.ReadCount(UDFP_SIM_KIND_CALLER_LIST), 2);
  EXPECT_EQ(m_host.ReadObject(UDFP_SIM_KIND_CALLER_LIST, 1), Pattern(32, 2));
  EXPECT_EQ(m_host.ReadObject(UDFP_SIM_KIND_CALLER_LIST, 2), Pattern(32, 3));
}

}  // namespace
