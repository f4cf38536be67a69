// The USB driver library without a handset: loading, refusals and shutdown.
#include <gtest/gtest.h>

#include <cstdlib>

#include "LibraryThreads.h"
#include "UdfpLibrary.h"
#include "udfp-usb/MatchIds.h"

namespace {

class UdfpUsbLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    // No handset is attached here; point the identifiers at a device that surely is absent.
    setenv("ORVANE_USB_VENDOR_ID", "0xFFFE", 1);
    ASSERT_EQ(library.Error(), "");
  }
  void TearDown() override { unsetenv("ORVANE_USB_VENDOR_ID"); }

  CUdfpLibrary library;
};

TEST_F(UdfpUsbLoad, OpenWithoutHandsetFailsAndShutdownEndsEveryThread) {
  EXPECT_FALSE(LibraryThreadsRunning());
  EXPECT_EQ(library.Open(), UDFP_INVALID_HANDLE);
  EXPECT_EQ(library.Open(), UDFP_INVALID_HANDLE);
  // The first use starts libusb and the event thread.
  EXPECT_TRUE(HasThreadNamed("udfp-usb-events"));
  EXPECT_NE(library.TerminateDLL(), 0);
  EXPECT_FALSE(LibraryThreadsRunning());
  // A second shutdown is harmless, and the library starts again on the next use.
  EXPECT_NE(library.TerminateDLL(), 0);
  EXPECT_EQ(library.Open(), UDFP_INVALID_HANDLE);
  EXPECT_NE(library.TerminateDLL(), 0);
  EXPECT_FALSE(LibraryThreadsRunning());
}

TEST_F(UdfpUsbLoad, EveryExportRefusesHandlesItDidNotIssue) {
  for (uint32_t handle : {0u, 1u, 2u, 77u, UDFP_INVALID_HANDLE}) {
    SCOPED_TRACE(handle);
    uint8_t buffer[16] = {};
    uint8_t status = 0xAA;
    uint32_t count = 1;
    uint32_t transferred = 99;
    uint32_t vendor = 0;
    uint32_t product = 0;
    EXPECT_EQ(library.StartPolling(handle, 0, 1), 0);
    EXPECT_EQ(library.StopPolling(handle), 0);
    EXPECT_EQ(library.ChangeApplicationMode(handle, 1), 0);
    EXPECT_EQ(library.VendorRequest(handle, UDFP_REQTYPE_IN, 0, 0, 0, 4, buffer), 0);
    EXPECT_EQ(library.GetEventStatus(handle, buffer, UDFP_EVENT_RECORD_SIZE, &count), 0);
    EXPECT_EQ(library.OpenPipe(handle, 2, UDFP_PIPE_OUT), UDFP_INVALID_HANDLE);
    EXPECT_EQ(library.WriteData(handle, buffer, 4, &transferred, 0), 0);
    EXPECT_EQ(transferred, 0u);
    transferred = 99;
    EXPECT_EQ(library.ReadData(handle, buffer, 4, &transferred, 0), 0);
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(library.GetDriverStatus(handle, &status), 0);
    EXPECT_EQ(library.ResetDriverStatus(handle), 0);
    EXPECT_EQ(library.GetDeviceInfo(handle, &vendor, &product), 0);
    EXPECT_EQ(library.Close(handle), 0);
  }
  // 0 and all bits set are "no pipe" and are accepted; any other unknown pipe is not.
  EXPECT_NE(library.ClosePipe(0), 0);
  EXPECT_NE(library.ClosePipe(UDFP_INVALID_HANDLE), 0);
  EXPECT_EQ(library.ClosePipe(5), 0);
}

void CountCall(void* context, int32_t, uint32_t, uint32_t) {
  ++*static_cast<int*>(context);
}

TEST_F(UdfpUsbLoad, HotplugCanBeWatchedAndStopped) {
  int calls = 0;
  EXPECT_NE(library.RegisterHotplug(&CountCall, &calls), 0);
  EXPECT_NE(library.RegisterHotplug(nullptr, nullptr), 0);
  EXPECT_EQ(calls, 0);  // attached devices are not reported at registration
  EXPECT_NE(library.TerminateDLL(), 0);
  EXPECT_FALSE(LibraryThreadsRunning());
}

TEST(UdfpUsbMatchIds, HexIdentifiersFromTheEnvironment) {
  EXPECT_EQ(CMatchIds::ParseHex("3A7E"), 0x3A7E);
  EXPECT_EQ(CMatchIds::ParseHex("0x1276"), 0x1276);
  EXPECT_EQ(CMatchIds::ParseHex("0Xabc"), 0xABC);
  EXPECT_EQ(CMatchIds::ParseHex("f"), 0xF);
  for (const char* bad : {"", "0x", "12345", "0x10000", "12g4", "-1", " 12", "1276 "}) {
    EXPECT_FALSE(CMatchIds::ParseHex(bad).has_value()) << bad;
  }

  unsetenv("ORVANE_USB_VENDOR_ID");
  setenv("ORVANE_USB_PRODUCT_ID", "zz", 1);  // not a number: the default stays
  CMatchIds ids = CMatchIds::FromEnvironment();
  EXPECT_EQ(ids.vendorId, 0x3A7E);
  EXPECT_EQ(ids.productId, 0x1276);
  setenv("ORVANE_USB_VENDOR_ID", "1d6b", 1);
  setenv("ORVANE_USB_PRODUCT_ID", "0x0002", 1);
  ids = CMatchIds::FromEnvironment();
  EXPECT_EQ(ids.vendorId, 0x1D6B);
  EXPECT_EQ(ids.productId, 0x0002);
  unsetenv("ORVANE_USB_VENDOR_ID");
  unsetenv("ORVANE_USB_PRODUCT_ID");
}

}  // namespace
