// The raw-data exports against panelsim, per device type: raw mode, report to the OS,
// single reads and burst reads, their retry rules, and every chip of a cascade.
#include <gtest/gtest.h>

#include <string>

#include "raw_data_rig.h"
#include "support/log_capture.h"

namespace {

using panelsim::DeviceType;
using panelsim::Fault;
using panelsim::FaultKind;
using rawdata_test::Bytes;
using rawdata_test::CountSleeps;
using rawdata_test::ReadBlock;
using rawdata_test::Rig;

constexpr uint32_t kReady = 0x50000000;
constexpr uint32_t kRaw = 0x52000000;
constexpr size_t kChipBlock = 20 * 32;  // drive x sense bytes of one chip

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// --- Feature-channel types (Z1 commands) -------------------------------------------------

struct FeatureCase {
  DeviceType sim;
  int32_t type;
};

class FeatureTypes : public ::testing::TestWithParam<FeatureCase> {};

TEST_P(FeatureTypes, RawModeReadAndReportToOs) {
  Rig rig;
  int fd = rig.Open(GetParam().sim, GetParam().type);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  EXPECT_TRUE(rig.sim().firmware().State().diagnostic);

  rig.sim().ClearLog();
  uint8_t buf[52] = {};
  uint32_t n = 0;
  ASSERT_EQ(IO_ReadData(fd, kReady, buf, &n), 0);
  EXPECT_EQ(n, 12u);
  EXPECT_EQ(Bytes(buf, buf + 12), rig.Peek(0, kReady, 12));
  const auto sets = rig.SetReports();
  ASSERT_FALSE(sets.empty());
  // 0xD9 write of command 0x86 with the big-endian address and its CRC.
  EXPECT_EQ(Bytes(sets[0].begin(), sets[0].begin() + 11),
            (Bytes{0x09, 0xD9, 0x08, 0x86, 0x06, 0x50, 0x00, 0x00, 0x00, 0x75, 0x3B}));

  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  EXPECT_FALSE(rig.sim().firmware().State().report_to_os);
  EXPECT_TRUE(IO_ReportToOS(fd, true, false));
  EXPECT_TRUE(rig.sim().firmware().State().report_to_os);

  rig.sim().ClearLog();
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 64, buf, &n), -1);
  EXPECT_TRUE(rig.sim().LastPackets().empty());
  EXPECT_EQ(IO_SetRawMode(fd, 0x120), 0);
  EXPECT_FALSE(rig.sim().firmware().State().diagnostic);
}

INSTANTIATE_TEST_SUITE_P(Z1, FeatureTypes,
                         ::testing::Values(FeatureCase{DeviceType::NotSet, corlink::NOT_SET},
                                           FeatureCase{DeviceType::Z2UsbBrg,
                                                       corlink::DEV_Z2_USB_BRG},
                                           FeatureCase{DeviceType::Z2I2c, corlink::DEV_Z2_I2C}));

TEST(Z1Retries, NackIsRetriedAfterTheDelayUntilTheCountRunsOut) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2UsbBrg, corlink::DEV_Z2_USB_BRG);
  ASSERT_GE(fd, 0);
  rig.sim().faults().Add({FaultKind::Nack, 0x86, 0, -1});
  uint8_t buf[52];
  uint32_t n = 0;
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_ReadData(fd, kReady, buf, &n), -2);
  std::string out = corlink::test::CapturedLog();
  EXPECT_EQ(Occurrences(out, "NACK/RETRY!!\n"), 5);
  EXPECT_EQ(rig.sim().CommandCount(0x86), 5);
  EXPECT_EQ(CountSleeps(200), 4);  // the retry delay between attempts
  EXPECT_EQ(CountSleeps(50), 8);   // before the write and the read of every later attempt

  rig.sim().faults().Clear();
  rig.sim().faults().Add({FaultKind::Nack, 0x86, 0, 2});
  EXPECT_EQ(IO_ReadData(fd, kReady, buf, &n), 0);
  EXPECT_EQ(n, 12u);
}

TEST(Z1Retries, BadAnswersEndWithTheLastAttemptsResult) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2UsbBrg, corlink::DEV_Z2_USB_BRG);
  ASSERT_GE(fd, 0);
  uint8_t buf[52];
  uint32_t n = 0;
  rig.sim().faults().Add({FaultKind::BadCrc, 0x86, 0, -1});
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_ReadData(fd, kReady, buf, &n), -1);
  EXPECT_EQ(Occurrences(corlink::test::CapturedLog(), "CRC check failed!\n"), 5);

  rig.sim().faults().Clear();
  rig.sim().faults().Add({FaultKind::WrongLength, 0x86, 0, 1});
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_ReadData(fd, kReady, buf, &n), 0);  // the second attempt is fine
  EXPECT_NE(corlink::test::CapturedLog().find("Wrong response format!\n"), std::string::npos);
}

TEST(Z1Retries, RetryCountZeroSendsNothing) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2UsbBrg, corlink::DEV_Z2_USB_BRG);
  ASSERT_GE(fd, 0);
  IO_SetRetryValue(0, 0);
  uint8_t buf[52];
  uint32_t n = 0;
  EXPECT_EQ(IO_ReadData(fd, kReady, buf, &n), -2);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), -2);  // a mode never set is no success
  EXPECT_TRUE(rig.sim().LastPackets().empty());
}

TEST(Z1Retries, SetModeRefusedUntilTheCountRunsOut) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2UsbBrg, corlink::DEV_Z2_USB_BRG);
  ASSERT_GE(fd, 0);
  rig.sim().faults().Add({FaultKind::Nack, 0x85, 0, -1});
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), -2);
  EXPECT_EQ(Occurrences(corlink::test::CapturedLog(), "Z1 retry/ No ACK!\n"), 5);
  EXPECT_EQ(rig.sim().CommandCount(0x85), 5);
}

TEST(FeatureReport, StopWithoutConfirmationIsOneSetFeature) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2UsbBrg, corlink::DEV_Z2_USB_BRG);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(IO_ReportToOS(fd, false, true));
  ASSERT_EQ(rig.SetReports().size(), 1u);
  EXPECT_EQ(rig.SetReports()[0][1], 0x54);
  EXPECT_EQ(rig.GetReports(), 0u);

  rig.sim().ClearLog();
  EXPECT_TRUE(IO_ReportToOS(fd, true, false));  // 0xDA confirmation, then 0x56
  EXPECT_EQ(rig.GetReports(), 1u);
  ASSERT_EQ(rig.SetReports().size(), 1u);
  EXPECT_EQ(rig.SetReports()[0][1], 0x56);

  rig.sim().Unplug();
  EXPECT_FALSE(IO_ReportToOS(fd, false, true));
  EXPECT_FALSE(IO_ReportToOS(fd, true, true));
}

// --- The bridge served on the feature channel ------------------------------------------

TEST(UsbBrgEp1, ConfirmsModeAndReadsBufferedData) {
  Rig rig;
  int fd = rig.Open(DeviceType::UsbBrgEp1, corlink::DEV_USB_BRG_EP1);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  EXPECT_GE(rig.GetReports(), 1u);
  uint8_t a[52], b[52];
  uint32_t na = 0, nb = 0;
  ASSERT_EQ(IO_ReadData(fd, 0x12345678, a, &na), 0);
  ASSERT_EQ(IO_ReadData(fd, 0x12345678, b, &nb), 0);
  EXPECT_EQ(na, 15u);
  EXPECT_EQ(nb, 15u);
  // Two consecutive windows of the master's buffered block.
  Bytes block = rig.Peek(0, kReady, 4 + 20 * 32);
  Bytes both(a, a + 15);
  both.insert(both.end(), b, b + 15);
  EXPECT_NE(std::search(block.begin(), block.end(), both.begin(), both.end()), block.end());

  corlink::test::CaptureLog();
  EXPECT_FALSE(IO_ReportToOS(fd, false, false));
  EXPECT_EQ(corlink::test::CapturedLog(), "Not support, type = DEV_USB_BRG_EP1");
  EXPECT_EQ(IO_SetRawMode(fd, 0), 0);
  EXPECT_EQ(rig.sim().firmware().State().mode_word, 0);
}

// --- Z2 letter commands and the Z6 slave tunnel ----------------------------------------

TEST(Z2Usb, LetterCommands) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2Usb, corlink::DEV_Z2_USB);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  EXPECT_EQ(rig.LastOutput(1),
            (Bytes{0x09, 'x', 0x21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  uint8_t buf[52];
  uint32_t n = 0;
  rig.sim().ClearLog();
  ASSERT_EQ(IO_ReadData(fd, kReady, buf, &n), 0);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(Bytes(buf, buf + 16), rig.Peek(0, kReady, 16));
  const Bytes request = rig.LastOutput(1);
  EXPECT_EQ(Bytes(request.begin(), request.begin() + 8),
            (Bytes{0x09, 0x1E, 0, 0, 0x00, 0x00, 0x00, 0x50}));

  rig.sim().ClearLog();
  EXPECT_EQ(IO_ReadData(fd, 0, buf, &n), 0);
  EXPECT_EQ(rig.LastOutput(1).at(1), 0x00);

  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  EXPECT_EQ(rig.LastOutput(2).at(2), '0');
  EXPECT_FALSE(rig.sim().firmware().State().report_to_os);
  EXPECT_TRUE(IO_ReportToOS(fd, true, false));
  EXPECT_EQ(rig.LastOutput(3).at(2), '1');
  EXPECT_TRUE(rig.sim().firmware().State().report_to_os);
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 64, buf, &n), -1);

  rig.sim().Unplug();
  rawdata_test::Sleeps().clear();
  EXPECT_EQ(IO_SetRawMode(fd, 0x120), -1);
  EXPECT_EQ(CountSleeps(200), 4);  // five writes, the retry delay between them
  EXPECT_EQ(IO_ReadData(fd, kReady, buf, &n), -1);
  EXPECT_FALSE(IO_ReportToOS(fd, true, false));
}

TEST(Z6Slave, TunnelAndReportForms) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z2Usb, corlink::DEV_Z2_USB);
  ASSERT_GE(fd, 0);
  IO_SetChipIndex(5);
  ASSERT_EQ(IO_GetDeviceType(), corlink::DEV_USB_Z6SLAVE);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  const Bytes write = rig.Outputs().at(0);
  EXPECT_EQ(Bytes(write.begin(), write.begin() + 6), (Bytes{0x09, 0xF0, 5, 0x85, 1, 0x21}));

  // The master's path names a product that takes the plain form.
  rig.sim().ClearLog();
  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  Bytes z = rig.LastOutput(1);
  EXPECT_EQ(Bytes(z.begin(), z.begin() + 4), (Bytes{0x09, 'Z', '0', 0}));
  std::snprintf(corlink::State().device_path, sizeof corlink::State().device_path,
                "/dev/hidraw9#vid_6b3e&pid_3a08");
  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  z = rig.LastOutput(2);
  EXPECT_EQ(Bytes(z.begin(), z.begin() + 4), (Bytes{0x09, 'Z', 0xA5, '0'}));
  EXPECT_TRUE(IO_ReportToOS(fd, true, false));
  z = rig.LastOutput(3);
  EXPECT_EQ(Bytes(z.begin(), z.begin() + 4), (Bytes{0x09, 'Z', 0x00, '1'}));
  EXPECT_TRUE(rig.sim().firmware().State().report_to_os);
}

// --- Z3 packets on the 64-byte carrier -------------------------------------------------

TEST(Z3Usb, ReadDataRequestAndAnswer) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3Usb, corlink::DEV_Z3_USB);
  ASSERT_GE(fd, 0);
  uint8_t buf[52];
  uint32_t n = 0;
  EXPECT_EQ(IO_ReadData(fd, 0, buf, &n), -1);
  EXPECT_TRUE(rig.sim().LastPackets().empty());

  ASSERT_EQ(IO_ReadData(fd, kReady, buf, &n), 0);
  EXPECT_EQ(n, 52u);
  EXPECT_EQ(Bytes(buf, buf + 52), rig.Peek(0, kReady, 52));
  Bytes expected(64, 0);
  const uint8_t head[] = {0x09, 0x09, 0x86, 0x43, 0x00, 0x00, 0x00, 0x50, 0x34, 0x00};
  std::copy(std::begin(head), std::end(head), expected.begin());
  ASSERT_EQ(rig.Outputs().size(), 1u);
  EXPECT_EQ(rig.Outputs()[0], expected);
}

TEST(Z3Usb, RawModeResults) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3Usb, corlink::DEV_Z3_USB);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  EXPECT_EQ(rig.sim().firmware().State().mode_word, 0x121);
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x121}));
  rig.sim().faults().Add({FaultKind::NackReason1, 0x85, 0, 1});
  EXPECT_EQ(IO_SetRawMode(fd, 0x120), -3);
  rig.sim().faults().Add({FaultKind::Nack, 0x85, 0, 1});
  EXPECT_EQ(IO_SetRawMode(fd, 0x120), -1);
  // A CRC mismatch ends the status read; the exchange sends the command again, 3 times.
  rig.sim().faults().Add({FaultKind::BadCrc, 0x85, 0, -1});
  EXPECT_EQ(IO_SetRawMode(fd, 0x120), -2);
  EXPECT_EQ(rig.sim().CommandCount(0x85), 6);
}

TEST(Z3Usb, ReportToOsSendsBothWordsAndPauses) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3Usb, corlink::DEV_Z3_USB);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x0951, 0x0121}));
  EXPECT_FALSE(rig.sim().firmware().State().report_to_os);
  EXPECT_EQ(rawdata_test::Sleeps(), (std::vector<unsigned>{100, 500}));

  rig.sim().ClearLog();
  rig.sim().faults().Add({FaultKind::Nack, 0x85, 0, 1});
  EXPECT_FALSE(IO_ReportToOS(fd, true, false));  // the first word refused, the second still sent
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x0950, 0x0120}));
}

TEST(Z3Usb, BurstReadGathersManyAnswers) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3Usb, corlink::DEV_Z3_USB);
  ASSERT_GE(fd, 0);
  Bytes buf(kChipBlock + 1, 0xEE);
  uint32_t n = 0;
  ASSERT_EQ(IO_BurstReadData(fd, kRaw, kChipBlock, buf.data(), &n), 0);
  EXPECT_EQ(n, kChipBlock);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + kChipBlock), rig.Peek(0, kRaw, kChipBlock));
  EXPECT_EQ(buf[kChipBlock], 0xEE);
  EXPECT_EQ(rig.Outputs().size(), 1u);

  EXPECT_EQ(IO_BurstReadData(fd, 0, 64, buf.data(), &n), -1);
  rig.sim().ClearLog();
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 0, buf.data(), &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 0x10000, buf.data(), &n), -1);
  EXPECT_TRUE(rig.Outputs().empty());

  // Single-answer bursts: a failed status ends the burst at once.
  rig.sim().faults().Add({FaultKind::Nack, 0x86, 0, 1});
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 52, buf.data(), &n), -1);
  rig.sim().faults().Add({FaultKind::BadCrc, 0x86, 0, 1});
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 52, buf.data(), &n), -2);
  // An answer without data would never finish the burst.
  rig.sim().faults().Add({FaultKind::WrongLength, 0x86, 0, 1});
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 4, buf.data(), &n), -2);
  EXPECT_EQ(n, 0u);

  // A burst that fails halfway leaves the rest of its answers behind; the next command
  // must not take them for its own.
  rig.sim().faults().Add({FaultKind::BadCrc, 0x86, 0, 1});
  const int inputs = rig.sim().Stats().inputs;
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 3 * 52, buf.data(), &n), -2);
  ASSERT_TRUE(rig.WaitInputs(inputs + 3));
  uint8_t one[52];
  ASSERT_EQ(IO_ReadData(fd, kRaw + 100, one, &n), 0);
  EXPECT_EQ(Bytes(one, one + 52), rig.Peek(0, kRaw + 100, 52));
}

TEST(Z3UsbBrg, ReportToOsTriesSixTimesAndBrackets) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3UsbBrg, corlink::DEV_Z3_USB_BRG);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x0F00, 0x0951, 0x0121}));
  rig.sim().ClearLog();
  EXPECT_TRUE(IO_ReportToOS(fd, true, false));
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x0950, 0x0120, 0x0F01}));

  rig.sim().ClearLog();
  rawdata_test::Sleeps().clear();
  rig.sim().faults().Add({FaultKind::Nack, 0x85, 0, -1});
  EXPECT_FALSE(IO_ReportToOS(fd, true, false));
  std::vector<uint16_t> expected(6, 0x0950);
  expected.push_back(0x0F01);
  EXPECT_EQ(rig.ModeWords(), expected);
  EXPECT_EQ(CountSleeps(200), 6);
  EXPECT_EQ(CountSleeps(500), 0);

  rig.sim().faults().Clear();
  uint8_t buf[52];
  uint32_t n = 0;
  ASSERT_EQ(IO_ReadData(fd, kRaw, buf, &n), 0);
  EXPECT_EQ(Bytes(buf, buf + n), rig.Peek(0, kRaw, 52));
}

// --- HID-over-I2C ----------------------------------------------------------------------

TEST(Z3HidOverI2c, AllFourExports) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3HidOverI2c, corlink::DEV_Z3_HID_OVER_I2C);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  EXPECT_EQ(CountSleeps(3), 1);  // the chip acts on the mode before it reports
  uint8_t buf[256];
  uint32_t n = 0;
  EXPECT_EQ(IO_ReadData(fd, 0, buf, &n), -1);
  ASSERT_EQ(IO_ReadData(fd, kRaw, buf, &n), 0);
  EXPECT_EQ(n, 52u);
  EXPECT_EQ(Bytes(buf, buf + 52), rig.Peek(0, kRaw, 52));
  ASSERT_EQ(IO_BurstReadData(fd, kRaw, 200, buf, &n), 0);
  EXPECT_EQ(Bytes(buf, buf + 200), rig.Peek(0, kRaw, 200));

  rig.sim().ClearLog();
  EXPECT_TRUE(IO_ReportToOS(fd, false, false));
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x0951, 0x0121}));
  rig.sim().faults().Add({FaultKind::Nack, 0x85, 0, -1});
  rawdata_test::Sleeps().clear();
  EXPECT_FALSE(IO_ReportToOS(fd, true, false));
  EXPECT_EQ(CountSleeps(20), 5);  // the HID-over-I2C retry delay between the six tries
}

// --- Z7 slaves and whole cascades ------------------------------------------------------

TEST(Z7Slave, TunnelledCommandsAndMasterReport) {
  Rig rig;
  int fd = rig.Open(DeviceType::Z3Usb, corlink::DEV_Z3_USB);
  ASSERT_GE(fd, 0);
  IO_SetChipIndex(6);
  ASSERT_EQ(IO_GetDeviceType(), corlink::DEV_USB_Z7SLAVE);
  EXPECT_EQ(IO_SetRawMode(fd, 0x121), 0);
  const Bytes mode = rig.Outputs().back();
  EXPECT_EQ(mode[2], 0xB0);
  EXPECT_EQ(mode[5], 6);
  EXPECT_EQ(mode[6], 0x85);

  rig.sim().ClearLog();
  EXPECT_TRUE(IO_ReportToOS(fd, false, false));  // only the master reports to the OS
  EXPECT_EQ(rig.ModeWords(), (std::vector<uint16_t>{0x0951, 0x0121}));

  Bytes buf(kChipBlock);
  uint32_t n = 0;
  ASSERT_EQ(IO_BurstReadData(fd, kRaw, kChipBlock, buf.data(), &n), 0);
  EXPECT_EQ(buf, rig.Peek(2, kRaw, kChipBlock));

  rig.sim().faults().Add({FaultKind::WrongLength, 0x86, 0, 1});
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_ReadData(fd, kRaw, buf.data(), &n), -1);
  EXPECT_EQ(corlink::test::CapturedLog(), "slave cmd ack length error\n");
  rig.sim().faults().Add({FaultKind::WrongLength, 0x86, 0, 1});
  EXPECT_EQ(IO_BurstReadData(fd, kRaw, 100, buf.data(), &n), -1);
}

struct CascadeCase {
  DeviceType sim;
  int32_t master;
};

class Cascade : public ::testing::TestWithParam<CascadeCase> {};

TEST_P(Cascade, ReadsEveryChipAfterSetChipIndex) {
  Rig rig;
  int fd = rig.Open(GetParam().sim, GetParam().master);
  ASSERT_GE(fd, 0);
  const int indexes[] = {0, 5, 6};
  for (int chip = 0; chip < 3; ++chip) {
    IO_SetChipIndex(indexes[chip]);
    Bytes got;
    ASSERT_EQ(ReadBlock(fd, kRaw, kChipBlock, &got), 0) << "chip " << chip;
    EXPECT_EQ(got, rig.Peek(chip, kRaw, kChipBlock)) << "chip " << chip;
  }
  IO_SetChipIndex(0);
  EXPECT_EQ(IO_GetDeviceType(), GetParam().master);
  EXPECT_NE(rig.Peek(1, kRaw, kChipBlock), rig.Peek(2, kRaw, kChipBlock));
}

INSTANTIATE_TEST_SUITE_P(Masters, Cascade,
                         ::testing::Values(CascadeCase{DeviceType::Z2Usb, corlink::DEV_Z2_USB},
                                           CascadeCase{DeviceType::Z3Usb, corlink::DEV_Z3_USB}));

// --- Types without a branch ------------------------------------------------------------

TEST(Unsupported, EveryExportFailsWithoutSending) {
  Rig rig;
  for (int32_t type :
       {corlink::UNKNOWN, corlink::DEV_Z3_I2C, corlink::DEV_SPI, corlink::DEV_Z2_I2C_MASTER}) {
    corlink::State().device_type = type;
    uint8_t buf[52];
    uint32_t n = 7;
    EXPECT_EQ(IO_SetRawMode(-1, 0x121), -1);
    EXPECT_EQ(IO_ReadData(-1, kRaw, buf, &n), -1);
    EXPECT_EQ(IO_BurstReadData(-1, kRaw, 52, buf, &n), -1);
    corlink::test::CaptureLog();
    EXPECT_FALSE(IO_ReportToOS(-1, true, false));
    EXPECT_EQ(corlink::test::CapturedLog(),
              std::string("Not support, type = ") + corlink::DeviceTypeName(type));
  }
  corlink::State().device_type = corlink::DEV_Z3_USB;
  EXPECT_EQ(IO_ReadData(-1, kRaw, nullptr, nullptr), -1);
  EXPECT_EQ(IO_BurstReadData(-1, kRaw, 52, nullptr, nullptr), -1);
}

}  // namespace
