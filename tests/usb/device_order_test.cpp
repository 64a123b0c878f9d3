#include "platform/usb/device_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using platform::usb::ComesBefore;
using platform::usb::Describe;
using platform::usb::DeviceLocation;

TEST(DeviceOrder, BusFirstThenPortChainThenAddress) {
  std::vector<DeviceLocation> devices{
      {2, {1}, 3},        // 0
      {1, {3}, 4},        // 1
      {1, {2}, 9},        // 2
      {1, {2, 4}, 5},     // 3: behind a hub on port 2
      {1, {2, 1, 7}, 8},  // 4: two hubs deep
      {1, {}, 6},         // 5: chain unknown
      {1, {}, 2},         // 6
  };
  std::vector<int> order{0, 1, 2, 3, 4, 5, 6};
  std::sort(order.begin(), order.end(), [&](int a, int b) { return ComesBefore(devices[a], devices[b]); });
  EXPECT_EQ(order, (std::vector<int>{6, 5, 2, 4, 3, 1, 0}));
}

TEST(DeviceOrder, IsAStrictOrder) {
  const DeviceLocation a{1, {2}, 3};
  EXPECT_FALSE(ComesBefore(a, a));
  const DeviceLocation b{1, {2}, 4};
  EXPECT_TRUE(ComesBefore(a, b));
  EXPECT_FALSE(ComesBefore(b, a));
}

TEST(DeviceOrder, DescribesWhereTheDeviceSits) {
  EXPECT_EQ(Describe({1, {2, 3}, 7}), "bus 1 port 2.3 address 7");
  EXPECT_EQ(Describe({3, {}, 1}), "bus 3 port ? address 1");
}

}  // namespace
