#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/display_check.h"

TEST(CommandLine, DefaultsToTheUsbCamera) {
  const auto result = ParseCommandLine({});
  ASSERT_TRUE(result.options);
  EXPECT_EQ(result.options->camera, CameraBackend::Usb);
  EXPECT_FALSE(result.options->simPaced);
  EXPECT_FALSE(result.options->verbose);
  EXPECT_TRUE(result.options->usbIds.empty());
}

TEST(CommandLine, ReadsEveryOption) {
  const auto result =
      ParseCommandLine({"--camera=sim", "--sim-paced", "--usb-id", "04b4:8613", "--usb-id=1234:abcd", "--verbose"});
  ASSERT_TRUE(result.options);
  EXPECT_EQ(result.options->camera, CameraBackend::Simulated);
  EXPECT_TRUE(result.options->simPaced);
  EXPECT_TRUE(result.options->verbose);
  EXPECT_EQ(result.options->usbIds, (std::vector<std::string>{"04b4:8613", "1234:abcd"}));
  EXPECT_EQ(ParseCommandLine({"--camera=sim", "--camera=usb"}).options->camera, CameraBackend::Usb);
}

TEST(CommandLine, RefusesUnknownOptionsAndAMissingValue) {
  auto result = ParseCommandLine({"--camera=webcam"});
  EXPECT_FALSE(result.options);
  EXPECT_NE(result.error.find("--camera=webcam"), std::string::npos);
  result = ParseCommandLine({"--usb-id"});
  EXPECT_FALSE(result.options);
  EXPECT_FALSE(result.error.empty());
}

TEST(CommandLine, ReadsThePushAndItsBitRate) {
  const auto result = ParseCommandLine({"--push=rtmp://127.0.0.1/live/key", "--push-bitrate=4000"});
  ASSERT_TRUE(result.options) << result.error;
  EXPECT_EQ(result.options->pushUrl, "rtmp://127.0.0.1/live/key");
  EXPECT_EQ(result.options->pushBitrateKbit, 4000);
  EXPECT_EQ(ParseCommandLine({}).options->pushBitrateKbit, 0) << "the push's own default";
  for (const char* bad : {"--push=", "--push-bitrate=", "--push-bitrate=12", "--push-bitrate=2500k",
                          "--push-bitrate=-5", "--push-bitrate=99999999999"}) {
    EXPECT_FALSE(ParseCommandLine({bad}).options) << bad;
  }
}

TEST(CommandLine, ReadsTheCaptureAndRotationOptions) {
  const auto result = ParseCommandLine({"--capture-dir=/tmp/pages", "--interval", "2.5", "--rotate=270"});
  ASSERT_TRUE(result.options) << result.error;
  EXPECT_EQ(result.options->captureDir, "/tmp/pages");
  EXPECT_DOUBLE_EQ(result.options->intervalSeconds.value_or(0), 2.5);
  EXPECT_EQ(result.options->rotationDegrees, 270);
  const auto none = ParseCommandLine({});
  EXPECT_FALSE(none.options->captureDir || none.options->intervalSeconds || none.options->rotationDegrees);
  // The interval's bounds are inclusive.
  EXPECT_TRUE(ParseCommandLine({"--interval=0.5"}).options);
  EXPECT_TRUE(ParseCommandLine({"--interval=3600"}).options);
}

TEST(CommandLine, RefusesOutOfRangeValuesInOneLineNamingThem) {
  for (const char* bad : {"--interval=0.4", "--interval=3601", "--interval=soon", "--interval=nan", "--rotate=45",
                          "--rotate=-90", "--rotate=ninety", "--capture-dir=", "--frobnicate", "stray", "-x"}) {
    const auto result = ParseCommandLine({bad});
    EXPECT_FALSE(result.options) << bad;
    EXPECT_FALSE(result.error.empty()) << bad;
    EXPECT_EQ(result.error.find('\n'), std::string::npos) << bad;
  }
  EXPECT_EQ(ParseCommandLine({"--frobnicate"}).error, "unknown option: --frobnicate");
  EXPECT_NE(ParseCommandLine({"--rotate=45"}).error.find("--rotate=45"), std::string::npos);
}

TEST(CommandLine, ReadsTheScanOptionsAndRefusesBadOnes) {
  const auto result = ParseCommandLine({"--sim-scene=document", "--scan-look=bw", "--ocr-lang=eng+deu"});
  ASSERT_TRUE(result.options) << result.error;
  EXPECT_TRUE(result.options->simDocumentScene);
  EXPECT_EQ(result.options->scanLook, "bw");
  EXPECT_EQ(result.options->ocrLanguages, "eng+deu");
  const auto none = ParseCommandLine({});
  EXPECT_FALSE(none.options->simDocumentScene || none.options->scanLook);
  EXPECT_EQ(none.options->ocrLanguages, "eng");
  EXPECT_FALSE(ParseCommandLine({"--sim-scene=testpage"}).options->simDocumentScene);
  for (const char* bad : {"--sim-scene=beach", "--scan-look=sepia", "--ocr-lang="}) {
    const auto refused = ParseCommandLine({bad});
    EXPECT_FALSE(refused.options) << bad;
    EXPECT_EQ(refused.error.find('\n'), std::string::npos) << bad;
  }
  const std::string text = UsageText();
  for (const char* option : {"--sim-scene", "--scan-look", "--ocr-lang"})
    EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(CommandLine, HelpListsEveryOption) {
  const auto result = ParseCommandLine({"--help"});
  ASSERT_TRUE(result.options);
  EXPECT_TRUE(result.options->help);
  EXPECT_TRUE(ParseCommandLine({"-h"}).options->help);
  EXPECT_TRUE(ParseCommandLine({"--help-all"}).options->help);
  EXPECT_FALSE(ParseCommandLine({}).options->help);
  const std::string text = UsageText();
  for (const char* option :
       {"--camera", "--sim-paced", "--usb-id", "--verbose", "--capture-dir", "--interval", "--rotate", "--help"})
    EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(CommandLine, ReadsTheServersHostsTokenFileAndCertificate) {
  const auto result = ParseCommandLine({"--serve=[::]:8443", "--serve-host=camera.local", "--serve-host", "cam-2.lan",
                                        "--serve-token-file=/run/token", "--serve-cert=c.pem", "--serve-key=k.pem"});
  ASSERT_TRUE(result.options) << result.error;
  EXPECT_EQ(result.options->serveHosts, (std::vector<std::string>{"camera.local", "cam-2.lan"}));
  EXPECT_EQ(result.options->serveTokenFile, "/run/token");
  EXPECT_EQ(result.options->serveCert, "c.pem");
  EXPECT_EQ(result.options->serveKey, "k.pem");
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--serve", "--serve-host=evil.example/x"},
           {"--serve", "--serve-host=.local"},
           {"--serve", "--serve-host="},
           {"--serve", "--serve-cert=c.pem"},
           {"--serve", "--serve-token-file=/run/token", "--serve-token=correct-horse-battery"},
       }) {
    const auto refused = ParseCommandLine(bad);
    EXPECT_FALSE(refused.options) << bad.back();
    EXPECT_FALSE(refused.error.empty());
  }
}

TEST(DisplayCheck, NeedsADisplayOrAChosenPlatform) {
  const char* saved[] = {std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM")};
  const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");

  char program[] = "tavrocam";
  char sim[] = "--camera=sim";
  char platformOption[] = "-platform";
  char offscreen[] = "offscreen";
  char* plain[] = {program, sim, nullptr};
  char* withPlatform[] = {program, platformOption, offscreen, nullptr};
  EXPECT_FALSE(HasDisplay(2, plain));
  EXPECT_TRUE(HasDisplay(3, withPlatform));
  setenv("DISPLAY", ":99", 1);
  EXPECT_TRUE(HasDisplay(2, plain));
  unsetenv("DISPLAY");
  setenv("WAYLAND_DISPLAY", "", 1);
  EXPECT_FALSE(HasDisplay(2, plain)) << "an empty value names no display";

  const std::string message = NoDisplayMessage();
  EXPECT_NE(message.find("xvfb-run"), std::string::npos);
  EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line";

  const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  for (int i = 0; i < 3; ++i) {
    if (saved[i])
      setenv(names[i], keep[i].c_str(), 1);
    else
      unsetenv(names[i]);
  }
}
