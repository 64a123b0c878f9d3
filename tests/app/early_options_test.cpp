// What the program settles before Qt starts, and FFmpeg's log kept quiet.
#include "app/early_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/ffmpeg_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Runs the checks on an argument list with no display in the environment.
class WithoutDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      m_saved.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (std::size_t i = 0; i < m_saved.size(); ++i) {
      if (m_saved[i])
        setenv(kNames[i], m_saved[i]->c_str(), 1);
      else
        unsetenv(kNames[i]);
    }
  }

  static std::optional<int> Early(std::vector<std::string> args, std::string* err = nullptr) {
    args.insert(args.begin(), "tavrocam");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const auto result = HandleEarlyOptions(static_cast<int>(args.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string error = testing::internal::GetCapturedStderr();
    if (err) *err = error + out;
    return result;
  }

  static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::optional<std::string>> m_saved;
};

TEST_F(WithoutDisplay, ABadOptionGetsItsOwnMessageAndExitTwoBeforeTheDisplayIsMissed) {
  std::string text;
  EXPECT_EQ(Early({"--frobnicate"}, &text), 2);
  EXPECT_NE(text.find("unknown option: --frobnicate"), std::string::npos) << text;
  EXPECT_EQ(text.find("no display"), std::string::npos) << text;
  EXPECT_EQ(Early({"--serve=nonsense"}, &text), 2) << "a host name the server cannot listen on";
  EXPECT_NE(text.find("--serve"), std::string::npos) << text;
  EXPECT_EQ(Early({"--camera=sim", "--rotate=45"}, &text), 2);
  EXPECT_NE(text.find("--rotate=45"), std::string::npos) << text;

  // Good options and no display: that is what is said, with the ways out.
  EXPECT_EQ(Early({"--camera=sim"}, &text), 2);
  EXPECT_NE(text.find("no display"), std::string::npos) << text;
  EXPECT_NE(text.find("--headless"), std::string::npos) << text;
  EXPECT_NE(text.find("xvfb-run"), std::string::npos) << text;
  EXPECT_EQ(text.find("scripts/"), std::string::npos) << "no developer script for a user: " << text;

  // Nothing to say: the program goes on.
  EXPECT_EQ(Early({"--headless", "--camera=sim", "--serve=127.0.0.1:0"}), std::nullopt);
  EXPECT_EQ(Early({"--help"}), std::nullopt);
  EXPECT_EQ(Early({"-platform", "offscreen", "--camera=sim"}), std::nullopt) << "Qt's own option names a platform";
}

TEST_F(WithoutDisplay, VersionNamesTheProgramAndTheEncoder) {
  std::string text;
  EXPECT_EQ(Early({"--version"}, &text), 0);
  EXPECT_EQ(text, VersionText());
  EXPECT_EQ(text.rfind("tavrocam 0.", 0), 0u) << text;
  EXPECT_NE(text.find("JPEG Encoder"), std::string::npos) << text;
  EXPECT_NE(text.find("1.00.00.01"), std::string::npos) << text;
}

TEST(EarlyOptions, QtsOwnOptionsAreLeftToQt) {
  std::vector<std::string> args = {"tavrocam", "-platform",  "xcb",      "--camera=sim", "-style=fusion",
                                   "-reverse", "--serve=:0", "-display", ":3",           "--verbose"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  EXPECT_EQ(WithoutQtOptions(static_cast<int>(argv.size()), argv.data()),
            (std::vector<std::string>{"--camera=sim", "--serve=:0", "--verbose"}));
}

TEST(EarlyOptions, HelpEndsWithTheKeys) {
  const std::string text = UsageText();
  const auto keys = text.find("Keys on the main window");
  ASSERT_NE(keys, std::string::npos);
  EXPECT_GT(keys, text.find("--version"));
  for (const char* key : {"Space", "Ctrl+C", "Shift+R", "F11", "Escape"})
    EXPECT_NE(text.find(key, keys), std::string::npos) << key;
}

TEST(FfmpegLog, ShowsFfmpegsLinesOnlyWhenVerbose) {
  const int level = av_log_get_level();
  av_log_set_level(AV_LOG_INFO);
  RouteFfmpegLog(false);
  testing::internal::CaptureStderr();
  av_log(nullptr, AV_LOG_ERROR, "Connection refused\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  RouteFfmpegLog(true);
  testing::internal::CaptureStderr();
  av_log(nullptr, AV_LOG_ERROR, "Connection refused\n");
  av_log(nullptr, AV_LOG_DEBUG, "below the level\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "tavrocam: ffmpeg: Connection refused\n");

  RouteFfmpegLog(false);
  av_log_set_callback(av_log_default_callback);
  av_log_set_level(level);
}

}  // namespace
