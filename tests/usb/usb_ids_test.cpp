#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "platform/usb/usb_driver.h"
#include "platform/usb/usb_error.h"

namespace {

using platform::usb::CameraIdList;
using platform::usb::DefaultCameraIds;
using platform::usb::FormatUsbId;
using platform::usb::ParseUsbId;
using platform::usb::UsbId;

TEST(UsbIds, ParsesTheFormLsusbShowsAndRejectsEverythingElse) {
  EXPECT_EQ(ParseUsbId("04b4:8613"), (UsbId{0x04b4, 0x8613}));
  EXPECT_EQ(ParseUsbId("ABCD:ef01"), (UsbId{0xabcd, 0xef01}));
  for (const char* bad : {"", ":", "04b4", "04b4:", ":8613", "4b4:8613", "04b4:86130", "04b4-8613", "0x04:8613",
                          "04b4:86g3", " 04b4:8613", "04b4:8613 ", "04b4:+613", "04b4:-613"}) {
    EXPECT_FALSE(ParseUsbId(bad).has_value()) << '"' << bad << '"';
  }
  EXPECT_EQ(FormatUsbId({0x0547, 0x2131}), "0547:2131");
  EXPECT_EQ(FormatUsbId({0xFFFF, 0x000a}), "ffff:000a");
}

TEST(UsbIds, AProfileListTakesSpacesOrCommasAndRefusesAnyBadEntry) {
  using platform::usb::ParseUsbIdList;
  EXPECT_EQ(ParseUsbIdList("0547:2131, 1234:5678"), (std::vector<UsbId>{{0x0547, 0x2131}, {0x1234, 0x5678}}));
  EXPECT_EQ(ParseUsbIdList(" ,1234:5678,,"), (std::vector<UsbId>{{0x1234, 0x5678}}));
  EXPECT_EQ(ParseUsbIdList(""), std::vector<UsbId>{});
  EXPECT_FALSE(ParseUsbIdList("1234:5678 12345678").has_value());
  EXPECT_FALSE(ParseUsbIdList("1234:5678;04b4:8613").has_value());
}

TEST(UsbIds, AddedIdsFollowTheDefaultsWithoutRepeats) {
  const std::vector<UsbId> extra{{0x1234, 0x5678}, {0x04b4, 0x8613}, {0x1234, 0x5678}};
  const std::vector<UsbId> ids = CameraIdList(extra);
  const auto defaults = DefaultCameraIds();
  ASSERT_EQ(ids.size(), defaults.size() + 1);
  EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), ids.begin()));
  EXPECT_EQ(ids.back(), (UsbId{0x1234, 0x5678}));
  EXPECT_EQ(CameraIdList({}).size(), defaults.size());
}

// The udev rule must grant access to exactly the cameras found by default.
TEST(UsbIds, TheUdevRuleCoversEveryDefaultIdAndNoOther) {
  std::ifstream file(TAVROCAM_UDEV_RULES);
  ASSERT_TRUE(file.is_open());
  const std::regex rule(
      R"re(^SUBSYSTEM=="usb", ENV\{DEVTYPE\}=="usb_device", ATTR\{idVendor\}=="([0-9a-f]{4})", ATTR\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re");
  std::vector<std::string> ruled;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, rule)) << line;
    ruled.push_back(match[1].str() + ":" + match[2].str());
  }
  std::vector<std::string> defaults;
  for (const UsbId& id : DefaultCameraIds()) defaults.push_back(FormatUsbId(id));
  std::sort(ruled.begin(), ruled.end());
  std::sort(defaults.begin(), defaults.end());
  EXPECT_EQ(ruled, defaults);
}

TEST(UsbErrors, EveryErrorHasItsOwnText) {
  using platform::usb::UsbError;
  std::vector<std::string> texts;
  for (int e = static_cast<int>(UsbError::None); e <= static_cast<int>(UsbError::Io); ++e) {
    texts.emplace_back(platform::usb::ToText(static_cast<UsbError>(e)));
    EXPECT_FALSE(texts.back().empty());
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(std::adjacent_find(texts.begin(), texts.end()), texts.end());
}

}  // namespace
