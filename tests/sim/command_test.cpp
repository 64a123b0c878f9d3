// The camera's answers to command frames: reply shape, every command's status
// and value, the read-back values the panel relies on, and what the commands
// do to the camera and its picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "sim/document_scene.h"
#include "sim/picture_renderer.h"
#include "sim/traffic_log.h"
#include "sim_host.h"

namespace simtest {
namespace {

struct Camera {
  explicit Camera(sim::SimOptions options = {}) : host(options), h(host.Open()) {}
  std::vector<std::uint8_t> Set(std::uint8_t code, std::uint8_t value, std::uint8_t header = 0x80) {
    return host.Exchange(h, SetFrame(code, value, header));
  }
  std::vector<std::uint8_t> Query(std::uint8_t code) { return host.Exchange(h, QueryFrame(code)); }
  int ReadBack(std::uint8_t code) {
    auto r = Query(code);
    return (r.size() == 7 && r[1] == 0) ? r[4] : -1;
  }
  sim::CameraSettings Settings() { return host.driver->Camera(0).Settings(); }
  sim::Picture Frame() {
    host.Out(h, 0xB4);
    return host.driver->Camera(0).LastFramePicture();
  }
  Host host;
  DeviceHandle h;
};

void ExpectGoodReply(const std::vector<std::uint8_t>& r, std::uint8_t code, std::uint8_t value) {
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[0], 0x55);
  EXPECT_EQ(r[1] & 7, 0) << "status";
  EXPECT_EQ(r[3], code);
  EXPECT_EQ(r[4], value);
  EXPECT_EQ(r[5], Sum(r, 1, 5)) << "checksum";
  EXPECT_EQ(r[6], 0x5A);
}

TEST(SimCommands, EveryPanelCommandIsAcceptedWithItsValueInTheReply) {
  // Neighbouring codes that take the same values share a row; the codes go
  // out in the table's order, each with every value of its row.
  struct Row {
    std::vector<std::uint8_t> codes;
    std::vector<std::uint8_t> values;
  };
  const std::vector<Row> commands = {
      {{0x0F}, {1, 0, 7, 8, 0x0F}},
      {{0x20}, {0, 1, 2}},
      {{0x21}, {0}},
      {{0x22, 0x23}, {1, 16}},
      {{0x24, 0x25}, {0, 1}},
      {{0x26}, {0}},
      {{0x30, 0x31, 0x32}, {1, 0}},
      {{0x33, 0x34}, {0xF0, 0x0E, 0x0D}},
      {{0x35, 0x36, 0x37, 0x3C, 0x3F}, {1, 0}},
      {{0x60}, {0}},
      {{0x7D, 0x7E}, {0, 3}},
      {{0x80}, {0, 1}},
      {{0x81, 0x82}, {0xF0, 0x0E}},
  };
  Camera cam;
  cam.Frame();  // so that a memory slot has a picture to keep
  for (const Row& row : commands) {
    for (std::uint8_t code : row.codes) {
      for (std::uint8_t v : row.values) {
        SCOPED_TRACE(testing::Message() << "code " << std::hex << int(code) << " value " << int(v));
        ExpectGoodReply(cam.Set(code, v), code, v);
      }
    }
  }
  // The release of Red and Blue comes in the 0x00-header form.
  ExpectGoodReply(cam.Set(0x81, 0x0D, 0x00), 0x81, 0x0D);
  ExpectGoodReply(cam.Set(0x82, 0x0D, 0x00), 0x82, 0x0D);
}

TEST(SimCommands, ReplyMatchesTheWorkedExample) {
  Camera cam;
  cam.Set(0x25, 1);
  // Input Select 1 read back: 55 00 00 25 01 26 5A.
  EXPECT_EQ(cam.Query(0x25), (std::vector<std::uint8_t>{0x55, 0x00, 0x00, 0x25, 0x01, 0x26, 0x5A}));
}

TEST(SimCommands, ReadBackValuesThePanelExpects) {
  Camera cam;
  // Power-up: colour on, every effect off, automatic white balance, XGA.
  EXPECT_EQ(cam.ReadBack(0x30), 0x80);
  for (std::uint8_t code : {0x31, 0x32, 0x35, 0x36, 0x37, 0x3F, 0x80, 0x24, 0x20}) {
    EXPECT_EQ(cam.ReadBack(code), 0) << std::hex << int(code);
  }
  const std::vector<std::pair<std::uint8_t, int>> onValues = {
      {0x36, 4}, {0x37, 8}, {0x31, 0x20}, {0x32, 0x40}, {0x35, 0x10}};
  for (const auto& [code, on] : onValues) {
    cam.Set(code, 1);
    EXPECT_EQ(cam.ReadBack(code), on) << std::hex << int(code);
    cam.Set(code, 0);
    EXPECT_EQ(cam.ReadBack(code), 0) << std::hex << int(code);
  }
  cam.Set(0x30, 0);
  EXPECT_EQ(cam.ReadBack(0x30), 0);
  cam.Set(0x30, 1);
  EXPECT_EQ(cam.ReadBack(0x30), 0x80);
  cam.Set(0x3F, 1);
  EXPECT_NE(cam.ReadBack(0x3F), 0);
  cam.Set(0x24, 1);
  EXPECT_NE(cam.ReadBack(0x24), 0);
  cam.Set(0x80, 1);  // manual white balance
  EXPECT_NE(cam.ReadBack(0x80), 0);
  cam.Set(0x80, 0);
  EXPECT_EQ(cam.ReadBack(0x80), 0);
  for (std::uint8_t v : {1, 2, 0}) {
    cam.Set(0x20, v);
    EXPECT_EQ(cam.ReadBack(0x20), v);
  }
}

TEST(SimCommands, MonitorOutResetsTheEffectsAndTheOrientation) {
  Camera cam;
  for (std::uint8_t code : {0x31, 0x32, 0x35, 0x36, 0x37}) cam.Set(code, 1);
  cam.Set(0x30, 0);
  cam.Set(0x3C, 1);
  cam.Set(0x20, 2);
  const auto s = cam.Settings();
  EXPECT_EQ(s.monitorOut, 2);
  EXPECT_EQ(s.mode, 1);
  EXPECT_TRUE(s.color);
  EXPECT_FALSE(s.negative || s.emboss || s.edge || s.mirror || s.flip || s.frozen);
}

TEST(SimCommands, RefusesWhatItCannotDo) {
  Camera cam;
  auto refused = [](const std::vector<std::uint8_t>& r) {
    return r.size() == 7 && (r[1] & 7) == 1 && r[5] == Sum(r, 1, 5);
  };
  EXPECT_TRUE(refused(cam.Set(0x99, 0))) << "unknown code";
  EXPECT_TRUE(refused(cam.Query(0x99)));
  EXPECT_TRUE(refused(cam.Set(0x20, 3))) << "no such monitor output";
  EXPECT_TRUE(refused(cam.Set(0x22, 0))) << "slots are 1..16";
  EXPECT_TRUE(refused(cam.Set(0x23, 5))) << "nothing saved in slot 5";
  EXPECT_TRUE(refused(cam.Set(0x33, 0x42))) << "not a press-and-hold value";
  auto bad = SetFrame(0x30, 0);
  bad[5] ^= 1;
  EXPECT_TRUE(refused(cam.host.Exchange(cam.h, bad))) << "bad checksum";
  EXPECT_TRUE(refused(cam.host.Exchange(cam.h, {0xAA, 0x80, 0x00}))) << "truncated frame";
  EXPECT_TRUE(cam.Settings().color) << "a refused frame changes nothing";
}

TEST(SimCommands, PressAndHoldRampsWhileHeldAndStopsOnRelease) {
  sim::SimOptions options;
  options.timeScale = 0.01;  // full travel in tens of milliseconds
  Camera cam(options);
  auto hold = [&](std::uint8_t code, std::uint8_t start, std::uint8_t stop, std::uint8_t header = 0x80) {
    cam.Set(code, start);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cam.Set(code, stop, header);
  };
  hold(0x0F, 0, 0x0F);  // ">>" zooms in
  const auto zoomed = cam.Settings();
  EXPECT_GT(zoomed.zoom, 1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(cam.Settings().zoom, zoomed.zoom) << "released: no further change";
  hold(0x0F, 1, 0x0F);
  EXPECT_LT(cam.Settings().zoom, zoomed.zoom);

  hold(0x0F, 8, 0x0F);
  EXPECT_GT(cam.Settings().focus, 0.0);
  cam.Set(0x60, 0);
  EXPECT_EQ(cam.Settings().focus, 0.0) << "automatic focus makes it sharp";

  hold(0x33, 0x0E, 0x0D);
  EXPECT_GT(cam.Settings().brightness, 0.0);
  hold(0x34, 0xF0, 0x0D);
  EXPECT_LT(cam.Settings().sharpness, 0.0);
  hold(0x81, 0x0E, 0x0D, 0x00);
  EXPECT_GT(cam.Settings().redGain, 1.0);
  hold(0x82, 0xF0, 0x0D, 0x00);
  EXPECT_LT(cam.Settings().blueGain, 1.0);

  // A held ramp ends at its limit.
  cam.Set(0x0F, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_EQ(cam.Settings().zoom, 4.0);
}

TEST(SimCommands, PresetsAndMemorySlots) {
  sim::SimOptions options;
  options.timeScale = 0.01;
  Camera cam(options);
  cam.Set(0x33, 0x0E);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  cam.Set(0x33, 0x0D);
  const double bright = cam.Settings().brightness;
  cam.Set(0x7D, 2);  // preset save "3"
  cam.Set(0x7E, 0);  // preset run "1": the power-up settings
  EXPECT_EQ(cam.Settings().brightness, 0.0);
  cam.Set(0x7E, 2);
  EXPECT_EQ(cam.Settings().brightness, bright);

  const auto first = cam.Frame();
  cam.Set(0x22, 5);  // keeps the picture last sent
  cam.Frame();
  cam.Set(0x23, 5);
  EXPECT_TRUE(cam.Settings().frozen);
  EXPECT_EQ(cam.Frame().bgr, first.bgr);
  cam.Set(0x3C, 0);
  EXPECT_NE(cam.Frame().bgr, first.bgr);
}

TEST(SimCommands, LampToggles) {
  Camera cam;
  cam.Set(0x26, 0);
  EXPECT_TRUE(cam.Settings().lamp);
  cam.Set(0x26, 0);
  EXPECT_FALSE(cam.Settings().lamp);
}

TEST(SimCommands, PictureShowsTheCameraState) {
  sim::SimOptions options;
  options.startMode = 4;
  options.seed = 11;
  Camera cam(options);
  // The plain picture of the same frame number, from a renderer of its own.
  sim::PictureRenderer reference(11);
  sim::RenderKey plainKey;
  plainKey.mode = 4;
  auto plain = [&] { return reference.RenderPicture(plainKey, cam.Settings().frameNumber).bgr; };

  cam.Set(0x31, 1);
  const auto negative = cam.Frame();
  const auto expected = plain();
  ASSERT_EQ(negative.bgr.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(negative.bgr[i], 255 - expected[i]) << i;
  cam.Set(0x31, 0);

  cam.Set(0x30, 0);
  const auto grey = cam.Frame();
  for (std::size_t i = 0; i < grey.bgr.size(); i += 3) {
    ASSERT_TRUE(grey.bgr[i] == grey.bgr[i + 1] && grey.bgr[i + 1] == grey.bgr[i + 2]) << "pixel " << i / 3;
  }
  cam.Set(0x30, 1);
  const auto colourAgain = cam.Frame();
  EXPECT_EQ(colourAgain.bgr, plain());

  cam.Set(0x36, 1);
  cam.Set(0x37, 1);
  const auto mirroredAndFlipped = cam.Frame();
  EXPECT_EQ(mirroredAndFlipped.bgr, plain()) << "the host orients the frame, not the camera";

  cam.Set(0x3C, 1);
  const auto held = cam.Frame();
  cam.Set(0x32, 1);
  EXPECT_EQ(cam.Frame().bgr, held.bgr) << "a held picture stays as it was";
  cam.Set(0x3C, 0);
  EXPECT_NE(cam.Frame().bgr, held.bgr);
}

TEST(SimPicture, EffectsZoomAndFocus) {
  sim::PictureRenderer renderer(3);
  sim::RenderKey key;
  key.mode = 4;
  const auto plain = renderer.RenderPicture(key, 1);
  const auto pixel = [](const sim::Picture& p, int x, int y) {
    const std::uint8_t* q = &p.bgr[(static_cast<std::size_t>(y) * p.width + x) * 3];
    return std::array<int, 3>{q[0], q[1], q[2]};
  };

  key.zoomQ = 512;  // 2x about the centre: the centre stays, a point halfway out moves to the edge
  const auto zoomed = renderer.RenderPicture(key, 1);
  EXPECT_EQ(pixel(zoomed, 160, 120), pixel(plain, 160, 120));
  EXPECT_EQ(pixel(zoomed, 300, 200), pixel(plain, 230, 160));
  EXPECT_NE(zoomed.bgr, plain.bgr);

  key.zoomQ = 256;
  key.blurRadius = 3;
  const auto blurred = renderer.RenderPicture(key, 1);
  auto contrast = [](const sim::Picture& p) {
    long total = 0;
    for (std::size_t i = 3; i < p.bgr.size(); ++i) total += std::abs(p.bgr[i] - p.bgr[i - 3]);
    return total;
  };
  EXPECT_LT(contrast(blurred), contrast(plain) * 3 / 4);
  key.blurRadius = 0;

  key.sharpQ = 64;
  EXPECT_GT(contrast(renderer.RenderPicture(key, 1)), contrast(plain));
  key.sharpQ = 0;

  key.emboss = true;
  const auto embossed = renderer.RenderPicture(key, 1);
  EXPECT_EQ(pixel(embossed, 160, 3)[0], pixel(embossed, 160, 3)[2]) << "relief is grey";
  key.emboss = false;
  key.edge = true;
  const auto edges = renderer.RenderPicture(key, 1);
  EXPECT_LT(edges.bgr[(120 * 320 + 2) * 3 + 0] + 0, 256);
  long dark = 0;
  for (std::size_t i = 0; i < edges.bgr.size(); i += 3) dark += edges.bgr[i] < 40;
  EXPECT_GT(dark, static_cast<long>(edges.bgr.size() / 3 / 2)) << "flat areas turn black";
}

TEST(SimCommands, TrafficLogRecordsEveryFrameAndReply) {
  const std::string path = testing::TempDir() + "sim_traffic_" + std::to_string(::getpid()) + ".log";
  std::remove(path.c_str());
  ::setenv("TAVROCAM_SIM_LOG", path.c_str(), 1);
  {
    Camera cam;
    cam.Set(0x25, 1);
    cam.host.driver->Camera(0).InjectReplyFault(sim::ReplyFault::NoReply);
    cam.Set(0x25, 0);
  }
  ::unsetenv("TAVROCAM_SIM_LOG");
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "CMD AA 80 00 25 01 A6 A5");
  EXPECT_EQ(lines[1], "RPL 55 00 00 25 01 26 5A");
  EXPECT_EQ(lines[2], "CMD AA 80 00 25 00 A5 A5");
  std::remove(path.c_str());
}

TEST(SimCommands, TrafficLogToAnUnwritablePathIsSkipped) {
  sim::TrafficLog log("/nonexistent-folder/x/sim.log");
  const std::uint8_t bytes[] = {0xAA, 0x01};
  log.Write("CMD", bytes);  // no crash, nothing thrown
  EXPECT_EQ(sim::TrafficLog::FormatLine("RPL", {}), "RPL\n");
  EXPECT_EQ(sim::TrafficLog::FormatLine("CMD", bytes), "CMD AA 01\n");
}

}  // namespace
}  // namespace simtest

namespace simtest {
namespace {

TEST(SimDocumentScene, PresetRunMovesThePageToItsKnownPlaces) {
  sim::SimOptions options;
  options.documentScene = true;
  Camera cam(options);
  const sim::Picture start = cam.Frame();
  ASSERT_EQ(start.width, 1024);
  const sim::Picture expectedStart = sim::RenderDocumentScene(1024, 768, 0);
  ASSERT_FALSE(expectedStart.bgr.empty()) << "the scene's typeface is missing";
  EXPECT_TRUE(start.bgr == expectedStart.bgr) << "the page starts at place 0, with no marks over it";
  for (std::uint8_t preset = 0; preset < 4; ++preset) {
    cam.Set(0x7E, preset);
    EXPECT_TRUE(cam.Frame().bgr == sim::RenderDocumentScene(1024, 768, preset + 1).bgr) << "Preset Run " << preset + 1;
  }
  // Without the scene the presets leave the test page where it is.
  Camera plain;
  const sim::Picture before = plain.Frame();
  plain.Set(0x7E, 2);
  EXPECT_FALSE(plain.Frame().bgr == sim::RenderDocumentScene(1024, 768, 3).bgr);
  EXPECT_EQ(before.width, 1024);
}

}  // namespace
}  // namespace simtest
