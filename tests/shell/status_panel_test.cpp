// What the status panel paints, read back from the paint record and the framebuffer: the lamps
// and what they hide, the park statistics, the error line, and the PNG that SIGUSR1 asks for.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <png.h>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "platform/files_test_support.h"
#include "platform/headless.h"
#include "platform/signal_seams.h"
#include "shell_test_helpers.h"

namespace {

using shelltest::ShellWindowTest;
using Colour = std::optional<COLORREF>;
constexpr COLORREF kGreen = 0x32CD32, kYellow = 0x00FFFF, kRed = 0x0000FF, kBlack = 0;
constexpr Colour kHidden = std::nullopt;

class StatusPanelTest : public ShellWindowTest {
 protected:
  // Repaints the whole window; the colour of the text drawn with exactly this content.
  Colour drawn(const std::u16string& text) {
    platform::gf_clearPaintRecord(window());
    InvalidateRect(window(), nullptr, TRUE);
    platform::gf_pumpMessages();
    for (const auto& op : platform::gf_paintRecord(window())) {
      if (op.kind == platform::PaintOp::Kind::text && op.text == text) return op.color;
    }
    return kHidden;
  }
  COLORREF pixel(int x, int y) const { return platform::gf_pixelAt(window(), x, y); }
};

TEST_F(StatusPanelTest, LampsAndWhatTheyShow) {
  struct Case {
    std::uint8_t connected, running, rtLamp, waiting;
    std::uint32_t traffic, weather;
    const char* title;
    COLORREF simLamp, rtLampColour;
    Colour trafficText, weatherText, live;
  };
  // The first row is a fresh window before any run.
  const Case table[] = {
      {0, 0, 0, 1, 3, 3, "", kRed, kBlack, kHidden, kHidden, kHidden},
      {1, 1, 1, 0, 1, 2, "B738", kGreen, kGreen, kGreen, kYellow, kGreen},
      {1, 0, 1, 0, 2, 1, "B738", kYellow, kYellow, kYellow, kGreen, kGreen},
      {1, 1, 1, 0, 3, 3, "", kYellow, kYellow, kHidden, kHidden, kHidden},
      {0, 1, 0, 0, 1, 1, "B738", kRed, kRed, kHidden, kHidden, kHidden},
  };
  MainWindowState& s = g_mainWindowState;
  s.liveCount = 7;
  for (const Case& c : table) {
    SCOPED_TRACE(&c - table);
    s.simConnected = c.connected, s.simRunningLamp = c.running;
    s.rtLamp = c.rtLamp, s.rtLampWaiting = c.waiting;
    s.trafficLamp = c.traffic, s.weatherLamp = c.weather;
    s.storeText(&MainWindowState::userAcTitleText, c.title, kLampsArea);
    EXPECT_EQ(drawn(u"Traffic"), c.trafficText);
    EXPECT_EQ(pixel(410, 40), c.simLamp);
    EXPECT_EQ(pixel(440, 40), c.rtLampColour);
    EXPECT_EQ(drawn(u"Weather"), c.weatherText);
    EXPECT_EQ(drawn(u"live:   7"), c.live);
  }
  s.simConnected = 0, s.simRunningLamp = 0, s.rtLamp = 0, s.rtLampWaiting = 1;
  s.trafficLamp = 3, s.weatherLamp = 3;
  EXPECT_EQ(drawn(u"# liveries: ..."), kRed);
  EXPECT_EQ(drawn(u"Scan for liveries"), kYellow);  // SCAN_LIVERIES is on
  EXPECT_EQ(drawn(u"GUID changes"), kBlack);
}

TEST_F(StatusPanelTest, ParkStatisticsOnlyWithAParkAirport) {
  MainWindowState& s = g_mainWindowState;
  EXPECT_EQ(drawn(u"no max park live"), kHidden);
  s.parkAirportValid = 1, s.parkTrafficWeek = 12, s.standCount = 140;
  s.storeText(&MainWindowState::parkAirportText, "EHAM (AMS)", kParkArea);
  s.storeText(&MainWindowState::parkAirportNameText, "Schiphol", kParkArea);
  s.storeText(&MainWindowState::reservedStandText, "D7", kParkArea);
  EXPECT_EQ(drawn(u"EHAM (AMS)"), kGreen);
  EXPECT_EQ(drawn(u" Schiphol, , wk=12"), kGreen);
  EXPECT_EQ(drawn(u"reserved stand: D7"), kRed);  // not confirmed yet
  EXPECT_EQ(drawn(u"# stands: 140"), kGreen);
  EXPECT_EQ(drawn(u"no max park live"), kGreen);
  s.parkAirportValid = 0;
  for (auto text : {&MainWindowState::parkAirportText, &MainWindowState::parkAirportNameText,
                    &MainWindowState::reservedStandText})
    s.storeText(text, "", kParkArea);
}

// An error stays in a red line, messages wait until it is gone; the PNG shows what was painted.
TEST_F(StatusPanelTest, ErrorLineAndWindowPng) {
  gf_showMessage("scanning", false);
  EXPECT_EQ(drawn(u"scanning"), kYellow);
  EXPECT_EQ(pixel(870, 460), kGreen);
  gf_showError("41: Zendrik_P3D must be run from the Zendrik_P3D folder!");
  gf_showMessage("later", true);
  EXPECT_EQ(drawn(u"41: Zendrik_P3D must be run from the Zendrik_P3D folder!"), kYellow);
  EXPECT_EQ(pixel(870, 460), kRed);
  EXPECT_EQ(drawn(u"later"), kHidden);
  platform_test::EnvGuard env;
  const auto png = folder_.path() / "window.png";
  env.set("ZENDRIK_WINDOW_PNG", png.string());
  platform::gf_requestWindowPng();
  EXPECT_FALSE(std::filesystem::exists(png));  // not before the window is painted again
  platform::gf_pumpMessages();
  // Read back: the red error line, the red simulator lamp and the waiting (black) RealTraffic lamp.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
  image.format = PNG_FORMAT_BGR;  // byte order of a COLORREF read from the low byte
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  const auto at = [&](int x, int y) {
    const unsigned char* p = &pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return static_cast<COLORREF>(p[2] | p[1] << 8 | p[0] << 16);
  };
  ASSERT_GT(image.width, 870u);  // the client area: the outer 880 less the frame
  for (const auto& [x, y] : {std::pair{870, 460}, {410, 40}, {440, 40}}) {
    EXPECT_EQ(at(x, y), pixel(x, y)) << x << "," << y;
  }
  EXPECT_EQ(at(870, 460), kRed);
}

}  // namespace
