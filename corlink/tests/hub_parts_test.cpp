// The pieces of the hub walk: USB names and sysfs values as parsed, the hub name tables,
// the slots, and emulated devices placed in a tree.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "hub/hub_tables.h"
#include "hub/usb_names.h"
#include "hub/usb_tree.h"
#include "small_file.h"
#include "support/fake_sysfs.h"

namespace corlink::hub {
namespace {

TEST(UsbNames, DeviceNamesAreParsedStrictly) {
  const auto loc = ParseDeviceName("3-1.4.2");
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->bus, 3);
  EXPECT_EQ(loc->ports, (std::vector<int>{1, 4, 2}));
  EXPECT_EQ(DeviceName(*loc), "3-1.4.2");
  EXPECT_EQ(ParentHubName(*loc), "3-1.4");
  EXPECT_EQ(ParentHubName(*ParseDeviceName("3-1")), "usb3");
  for (const char* bad : {"", "1", "1-", "-1", "1-1.", "1-.1", "1--1", "1-0", "0-1", "01-1", "1-01",
                          "1-256", "1000-1", "1-1.4:1.0", "usb1", "1-1 ", "1-1.1.1.1.1.1.1.1", "1-99999"})
    EXPECT_FALSE(ParseDeviceName(bad)) << bad;
  EXPECT_TRUE(ParseDeviceName("1-1.1.1.1.1.1.1"));  // seven ports deep is the limit
}

TEST(UsbNames, RootHubsAndChildren) {
  EXPECT_EQ(ParseRootHubName("usb12"), 12);
  EXPECT_FALSE(ParseRootHubName("usb"));
  EXPECT_FALSE(ParseRootHubName("usb0"));
  EXPECT_FALSE(ParseRootHubName("usb1x"));
  EXPECT_EQ(ChildName("usb1", 4), "1-4");
  EXPECT_EQ(ChildName("1-1", 4), "1-1.4");
  EXPECT_EQ(ChildName("1-1", 0), "");
  EXPECT_EQ(ChildName("1-1", 256), "");
  EXPECT_EQ(ChildName("hub", 1), "");
  EXPECT_EQ(ChildName("1-1.1.1.1.1.1.1", 1), "");  // would be too deep
}

TEST(UsbNames, AttributesAreOneNumberAndANewline) {
  EXPECT_EQ(ParseHexAttribute("09\n"), 9u);
  EXPECT_EQ(ParseHexAttribute("6B3e"), 0x6b3eu);
  EXPECT_EQ(ParseDecimalAttribute("12\n"), 12u);
  for (const char* bad : {"", "\n", "09\n\n", " 9", "0x09", "9 ", "123456789", "-1"})
    EXPECT_FALSE(ParseHexAttribute(bad)) << bad;
  EXPECT_FALSE(ParseDecimalAttribute("0a"));
}

// sysfs and /proc files are read up to a bound: a longer (or endless) file gives its first
// bytes only, a missing one nothing.
TEST(SmallFile, ReadsAtMostTheLimit) {
  test::FakeSysfs dir;
  struct Case {
    size_t size;
    size_t limit;
    size_t expected;
  } cases[] = {{0, 64, 0},   {10, 64, 10},        {64, 64, 64},
               {65, 64, 64}, {10000, 8192, 8192}, {10000, 0, 0}};
  for (const Case& c : cases) {
    const std::string path = dir.root() + "/attr";
    std::string text(c.size, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    std::ofstream(path, std::ios::binary) << text;
    const std::string got = ReadSmallFile(path.c_str(), c.limit);
    EXPECT_EQ(got, text.substr(0, c.expected)) << c.size << " bytes, limit " << c.limit;
  }
  EXPECT_EQ(ReadSmallFile((dir.root() + "/missing").c_str(), 64), "");
}

TEST(UsbNames, PortIsTakenFromTheStartOfPhysWithinItsSize) {
  EXPECT_EQ(PortFromPhys("port=1-1.4 panelsim/x", 64), "1-1.4");
  EXPECT_EQ(PortFromPhys("port=2-3", 64), "2-3");
  EXPECT_EQ(PortFromPhys("panelsim/x port=1-1", 64), "");
  EXPECT_EQ(PortFromPhys("port=1-1:1.0", 64), "");
  EXPECT_EQ(PortFromPhys(nullptr, 64), "");
  char full[8];
  std::memcpy(full, "port=1-2", 8);  // no terminator inside the field
  EXPECT_EQ(PortFromPhys(full, sizeof full), "1-2");
  EXPECT_EQ(PortFromPhys(full, 7), "");  // cut to "port=1-": not a name
}

TEST(HubNameTables, IndexesLastWhilePresentPositionsFollowTheWalk) {
  HubNameTables t;
  int32_t index = -1, position = -1;
  ASSERT_TRUE(t.Enter("usb1", &index, &position));
  ASSERT_TRUE(t.Enter("1-1", &index, &position));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(position, 1);
  t.EndWalk();
  ASSERT_TRUE(t.Enter("1-1", &index, &position));  // walked first this time
  EXPECT_EQ(index, 1);
  EXPECT_EQ(position, 0);
  t.EndWalk();  // usb1 was not walked: its entry is free again
  EXPECT_EQ(t.IndexOf("usb1"), -1);
  ASSERT_TRUE(t.Enter("2-1", &index, &position));
  EXPECT_EQ(index, 0);
}

TEST(HubNameTables, AFullTableRefusesWithoutChangingAnything) {
  HubNameTables t;
  int32_t index = -1, position = -1;
  for (int i = 0; i < kHubNameTableSize; ++i) ASSERT_TRUE(t.Enter("h" + std::to_string(i), &index, &position));
  index = position = 77;
  EXPECT_FALSE(t.Enter("extra", &index, &position));
  EXPECT_EQ(index, 77);
  EXPECT_EQ(t.IndexOf("extra"), -1);
  t.EndWalk();
  // Twenty hubs still present: a new one finds no free entry until one goes.
  for (int i = 0; i < kHubNameTableSize - 1; ++i) ASSERT_TRUE(t.Enter("h" + std::to_string(i), &index, &position));
  EXPECT_FALSE(t.Enter("extra", &index, &position));
  t.EndWalk();  // h19 was not walked
  EXPECT_TRUE(t.Enter("extra", &index, &position));
  EXPECT_EQ(index, kHubNameTableSize - 1);
}

TEST(HubDeviceSlots, ListingReusesTheSlotOfThePathAndDropsIncompleteOnes) {
  HubDeviceSlots s;
  EXPECT_TRUE(s.List("a", "ka"));
  EXPECT_TRUE(s.List("b", ""));
  EXPECT_TRUE(s.List("a", "ka2"));
  EXPECT_EQ(s.Size(), 2);
  EXPECT_EQ(s[0].driver_key, "ka2");
  EXPECT_FALSE(s.Locate("", 0, 0, 1));  // an empty key never matches
  EXPECT_TRUE(s.Locate("ka2", 1, 2, 3));
  s.DropIncomplete();
  EXPECT_EQ(s.Size(), 1);
  ASSERT_NE(s.FindPort(3, 1), nullptr);
  EXPECT_EQ(s.FindPort(3, 1)->path, "a");
  EXPECT_EQ(s.FindPath(""), nullptr);
}

TEST(UsbTree, EmulatedDevicesBringTheirHubsAndRespectRealOnes) {
  UsbTree t;
  ASSERT_TRUE(AddEmulatedDevice(t, "1-2.4", 0x6b3e, 0x3a01));
  ASSERT_NE(t.Find("usb1"), nullptr);
  EXPECT_TRUE(t.Find("usb1")->hub);
  EXPECT_EQ(t.Find("usb1")->ports, 2);
  EXPECT_EQ(t.Find("1-2")->ports, 4);
  EXPECT_EQ(t.Find("1-2.4")->key, "virtual:1-2.4");
  EXPECT_TRUE(AddEmulatedDevice(t, "1-2.4", 0x6b3e, 0x3a01));  // its next collection
  EXPECT_FALSE(AddEmulatedDevice(t, "1-2.4.1", 0x6b3e, 0x3a01));  // 1-2.4 is no hub
  EXPECT_FALSE(AddEmulatedDevice(t, "bad", 0, 0));

  UsbTree real;
  real.nodes["usb1"] = {true, 2, 0x1d6b, 2, "/sys/devices/usb1"};
  real.nodes["1-1"] = {false, 0, 0x046d, 0xc077, "/sys/devices/usb1/1-1"};
  EXPECT_FALSE(AddEmulatedDevice(real, "1-1", 0x6b3e, 0x3a01));  // the port is taken
  EXPECT_FALSE(AddEmulatedDevice(real, "1-1.3", 0x6b3e, 0x3a01));
  EXPECT_EQ(real.nodes.size(), 2u);
  ASSERT_TRUE(AddEmulatedDevice(real, "1-5", 0x6b3e, 0x3a01));
  EXPECT_EQ(real.Find("usb1")->key, "/sys/devices/usb1");  // the real hub stays itself
  EXPECT_EQ(real.Find("usb1")->ports, 5);
}

TEST(UsbTree, SysfsReadingSkipsInterfacesAndMalformedEntries) {
  test::FakeSysfs fs;
  fs.AddRootHub(1, 2);
  fs.AddDevice("1-1", 0x6b3e, 0x3a06);
  fs.AddDevice("1-2", 0x6b3e, 0x3a06);
  fs.AddHidraw(3, "1-1");
  fs.Write(fs.root() + "/devices/pci0000:00/0000:00:14.1/usb1/1-2/idVendor", "zz\n");
  std::filesystem::create_directory(fs.root() + "/bus/usb/devices/1-1:1.0");
  const UsbTree t = ReadSysfsTree(fs.root());
  EXPECT_EQ(t.nodes.size(), 2u);
  ASSERT_NE(t.Find("1-1"), nullptr);
  EXPECT_EQ(t.Find("1-1")->key, fs.Key("1-1"));
  EXPECT_EQ(t.Find("usb1")->ports, 2);
  EXPECT_EQ(UsbAncestorKey(fs.root(), "/dev/hidraw3"), fs.Key("1-1"));
  EXPECT_EQ(UsbAncestorKey(fs.root(), "/dev/hidraw4"), "");
  EXPECT_EQ(UsbAncestorKey(fs.root(), "/tmp/x.sock"), "");
  EXPECT_TRUE(ReadSysfsTree(fs.root() + "/missing").nodes.empty());
}

}  // namespace
}  // namespace corlink::hub
