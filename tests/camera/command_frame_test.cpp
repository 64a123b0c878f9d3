// Command frames, reply verdicts and log lines, as bytes.
#include "camera/command_frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using camera::BuildCommandFrame;
using camera::CheckReply;
using camera::CommandForm;
using camera::ReplyVerdict;
using Bytes = std::vector<std::uint8_t>;

Bytes FrameBytes(CommandForm form, std::uint8_t code, std::uint8_t value = 0) {
  const auto f = BuildCommandFrame(form, code, value);
  return {f.View().begin(), f.View().end()};
}

TEST(CommandFrames, EachFormWithItsChecksum) {
  EXPECT_EQ(FrameBytes(CommandForm::Tagged, 0x25, 0x01), (Bytes{0xAA, 0x80, 0x00, 0x25, 0x01, 0xA6, 0xA5}));
  EXPECT_EQ(FrameBytes(CommandForm::Short, 0x36), (Bytes{0xAA, 0x00, 0x00, 0x36, 0x36, 0xA5}));
  // The sum overflows; only its low 8 bits are kept.
  EXPECT_EQ(FrameBytes(CommandForm::Plain, 0x81, 0x90), (Bytes{0xAA, 0x00, 0x00, 0x81, 0x90, 0x11, 0xA5}));
  EXPECT_EQ(FrameBytes(CommandForm::Tagged, 0xFF, 0xFF), (Bytes{0xAA, 0x80, 0x00, 0xFF, 0xFF, 0x7E, 0xA5}));
}

TEST(ReplyChecks, StatusDecidesValueRepeatOrRefusal) {
  const Bytes good{0x55, 0x00, 0x00, 0x25, 0x07, 0x2C, 0x5A};
  auto check = CheckReply(good, false);
  EXPECT_EQ(check.verdict, ReplyVerdict::Value);
  EXPECT_EQ(check.value, 7);

  // Only the low three bits of the status byte count.
  for (std::uint8_t status : {0x02, 0x0A}) {
    Bytes r{0x55, status, 0x00, 0x25, 0x07, 0, 0x5A};
    r[5] = static_cast<std::uint8_t>(status + 0x25 + 0x07);
    EXPECT_EQ(CheckReply(r, false).verdict, ReplyVerdict::Repeat) << int(status);
  }
  Bytes refused{0x55, 0x01, 0x00, 0x25, 0x07, 0x2D, 0x5A};
  EXPECT_EQ(CheckReply(refused, true).verdict, ReplyVerdict::Refused);
  // A 6-byte reply's byte 4 is its checksum, and it did arrive.
  const Bytes six{0x55, 0x00, 0x00, 0x09, 0x09, 0x5A};
  EXPECT_EQ(CheckReply(six, false).verdict, ReplyVerdict::Value);
  EXPECT_EQ(CheckReply(six, false).value, 0x09);
}

TEST(ReplyChecks, MalformedReplies) {
  EXPECT_EQ(CheckReply(Bytes{0x54, 0x00, 0x00, 0x25, 0x07, 0x2C, 0x5A}, false).verdict, ReplyVerdict::Malformed);
  EXPECT_EQ(CheckReply(Bytes{0x55, 0x00, 0x00, 0x25, 0x07, 0x2C, 0x5B}, false).verdict, ReplyVerdict::Malformed);
  EXPECT_EQ(CheckReply(Bytes{0x55, 0x00, 0x00, 0x25, 0x07, 0x2D, 0x5A}, false).verdict, ReplyVerdict::Malformed);
  // Short replies: repeated by the forms that repeat, malformed for the other,
  // which must not hand back a byte 4 that never arrived.
  const Bytes shortReply{0x55, 0x00, 0x00, 0x5A};
  EXPECT_EQ(CheckReply(shortReply, true).verdict, ReplyVerdict::Repeat);
  EXPECT_EQ(CheckReply(shortReply, false).verdict, ReplyVerdict::Malformed);
  EXPECT_EQ(CheckReply(Bytes{0x55, 0x00, 0x00, 0x00, 0x5A}, false).verdict, ReplyVerdict::Malformed);
}

TEST(CommandLogLines, UpperCaseHexPairsEachFollowedByABlank) {
  const Bytes frame{0xAA, 0x80, 0x00, 0x20, 0x01, 0xA1, 0xA5};
  EXPECT_EQ(camera::FormatHexLogLine(frame), "AA 80 00 20 01 A1 A5 \r\n");
  EXPECT_EQ(camera::FormatHexLogLine({}), "\r\n");
  EXPECT_EQ(camera::FormatHexLogLine(Bytes{0x0F}), "0F \r\n");
}

}  // namespace
