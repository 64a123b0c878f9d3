#include "broadcast/push_target.h"

#include <gtest/gtest.h>

#include "broadcast/push_state.h"

TEST(PushTarget, EachSchemeAndFileEndingPicksItsContainer) {
  struct Case {
    const char* url;
    PushKind kind;
    const char* muxer;
    const char* host;
  };
  const Case cases[] = {
      {"rtmp://live.example.com/app/key", PushKind::Rtmp, "flv", "live.example.com"},
      {"RTMPS://ingest.example.com:443/app/key", PushKind::Rtmp, "flv", "ingest.example.com"},
      {"srt://127.0.0.5:9000?streamid=publish:cam", PushKind::Srt, "mpegts", "127.0.0.5"},
      {"rtsp://user:secret@[::1]:8554/cam", PushKind::Rtsp, "rtsp", "::1"},
      {"/tmp/lecture.mkv", PushKind::File, "matroska", ""},
      {"Lecture.MP4", PushKind::File, "mp4", ""},
  };
  for (const Case& c : cases) {
    const PushTargetResult result = ParsePushTarget(c.url);
    ASSERT_TRUE(result.target) << c.url << ": " << result.error;
    EXPECT_EQ(result.target->kind, c.kind) << c.url;
    EXPECT_EQ(result.target->muxer, c.muxer) << c.url;
    EXPECT_EQ(result.target->host, c.host) << c.url;
    EXPECT_EQ(result.target->url, c.url);
  }
}

TEST(PushTarget, ShownUrlHidesStreamKeysAndPasswords) {
  EXPECT_EQ(ParsePushTarget("rtmp://a.example.com/live2/abcd-secret").target->display,
            "rtmp://a.example.com/live2/...");
  EXPECT_EQ(ParsePushTarget("srt://h:9000?streamid=#!::r=live,m=publish&passphrase=pw").target->display,
            "srt://h:9000");
  EXPECT_EQ(ParsePushTarget("rtsp://u:pw@h:8554/cam").target->display, "rtsp://h:8554/cam");
  EXPECT_EQ(ParsePushTarget("rtmp://h/app").target->display, "rtmp://h/app");
}

TEST(PushTarget, UrlsThatCanNeverWorkAreRefusedWithTheReason) {
  struct Case {
    const char* url;
    const char* reason;
  };
  const Case cases[] = {
      {"", "empty"},
      {"http://example.com/live", "unknown push scheme"},
      {"udp://127.0.0.1:1234", "unknown push scheme"},
      {"rtmp:///live/key", "no host"},
      {"srt://:9000", "no host"},
      {"movie.avi", ".mkv or .mp4"},
      {"folder/", ".mkv or .mp4"},
  };
  for (const Case& c : cases) {
    const PushTargetResult result = ParsePushTarget(c.url);
    EXPECT_FALSE(result.target) << c.url;
    EXPECT_NE(result.error.find(c.reason), std::string::npos) << c.url << ": " << result.error;
  }
}

TEST(PushState, StatusLineNamesThePhaseAndTheLastError) {
  PushStatus status;
  status.target = "rtmp://h/app/...";
  EXPECT_EQ(PushStatusLine(status), "");
  status.phase = PushPhase::Live;
  status.width = 1024;
  status.height = 768;
  EXPECT_EQ(PushStatusLine(status), "LIVE rtmp://h/app/... 1024x768");
  status.phase = PushPhase::Retrying;
  status.retryInSeconds = 4;
  status.lastError = "Connection refused";
  EXPECT_EQ(PushStatusLine(status), "PUSH retrying in 4 s: Connection refused");
  status.phase = PushPhase::Failed;
  EXPECT_EQ(PushStatusLine(status), "PUSH failed: Connection refused");
  EXPECT_STREQ(PushPhaseName(PushPhase::Retrying), "retrying");
  EXPECT_STREQ(PushPhaseName(PushPhase::Connecting), "connecting");
}
