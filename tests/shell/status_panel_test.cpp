// What the status panel paints, read back from the paint record and the framebuffer: the lamps
// and what they hide, the park statistics, the error line.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "platform/headless.h"
#include "platform/signal_seams.h"
#include "platform/files_test_support.h"
#include "shell_test_helpers.h"

namespace {

using shelltest::ShellWindowTest;
using Kind = platform::PaintOp::Kind;

constexpr COLORREF kGreen = 0x32CD32;
constexpr COLORREF kYellow = 0x00FFFF;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlack = 0;

class StatusPanelTest : public ShellWindowTest {
 protected:
  // Repaints the whole window and keeps what was drawn.
  void repaint() {
    platform::gf_clearPaintRecord(window());
    InvalidateRect(window(), nullptr, TRUE);
    platform::gf_pumpMessages();
    ops_ = platform::gf_paintRecord(window());
  }
  // Colour of the text drawn with exactly this content; none when it was not drawn.
  std::optional<COLORREF> textColour(const std::u16string& text) const {
    for (const auto& op : ops_) {
      if (op.kind == Kind::text && op.text == text) return op.color;
    }
    return std::nullopt;
  }
  COLORREF pixel(int x, int y) const { return platform::gf_pixelAt(window(), x, y); }

  std::vector<platform::PaintOp> ops_;
};

// A fresh window: both lamps in their starting colours, no reader texts.
TEST_F(StatusPanelTest, BeforeAnyRun) {
  repaint();
  EXPECT_EQ(pixel(410, 40), kRed);    // simulator not connected
  EXPECT_EQ(pixel(440, 40), kBlack);  // RealTraffic waited for
  for (const char16_t* hidden : {u"Weather", u"Traffic", u"qnh:    0", u"live:   0"}) {
    EXPECT_FALSE(textColour(hidden)) << std::string(hidden, hidden + 4);
  }
  EXPECT_EQ(textColour(u"Version 10.10.9"), kGreen);
  EXPECT_EQ(textColour(u"# liveries: ..."), kRed);
  EXPECT_EQ(textColour(u"Scan for liveries"), kYellow);  // SCAN_LIVERIES is on
  EXPECT_EQ(textColour(u"GUID changes"), kBlack);
  EXPECT_EQ(textColour(u"Light aircraft"), kBlack);
  EXPECT_FALSE(textColour(u"# stands:   0"));             // no park airport
}

TEST_F(StatusPanelTest, LampsAndWhatTheyShow) {
  struct Case {
    std::uint8_t connected, running, rtLamp, waiting;
    std::uint32_t traffic, weather;
    const char* title;
    COLORREF simLamp, rtLampColour;
    std::optional<COLORREF> trafficText, weatherText;
  };
  const Case table[] = {
      {1, 1, 1, 0, 1, 2, "Boeing 737", kGreen, kGreen, kGreen, kYellow},
      {1, 0, 1, 0, 2, 1, "Boeing 737", kYellow, kYellow, kYellow, kGreen},
      {1, 1, 1, 0, 3, 3, "", kYellow, kYellow, std::nullopt, std::nullopt},
      {0, 1, 0, 0, 1, 1, "Boeing 737", kRed, kRed, std::nullopt, std::nullopt},
  };
  MainWindowState& s = g_mainWindowState;
  s.qnhShown = 1013;
  s.liveCount = 7;
  for (const Case& c : table) {
    SCOPED_TRACE(c.title);
    s.simConnected = c.connected;
    s.simRunningLamp = c.running;
    s.rtLamp = c.rtLamp;
    s.rtLampWaiting = c.waiting;
    s.trafficLamp = c.traffic;
    s.weatherLamp = c.weather;
    s.storeText(&MainWindowState::userAcTitleText, c.title, kLampsArea);
    repaint();
    EXPECT_EQ(pixel(410, 40), c.simLamp);
    EXPECT_EQ(pixel(440, 40), c.rtLampColour);
    EXPECT_EQ(textColour(u"Traffic"), c.trafficText);
    EXPECT_EQ(textColour(u"Weather"), c.weatherText);
    EXPECT_EQ(textColour(u"live:   7").has_value(), c.trafficText.has_value());
    EXPECT_EQ(textColour(u"qnh: 1013").has_value(), c.weatherText.has_value());
  }
  s.simConnected = 0, s.simRunningLamp = 0, s.rtLamp = 0, s.rtLampWaiting = 1;
  s.trafficLamp = 3, s.weatherLamp = 3;
}

TEST_F(StatusPanelTest, ParkStatisticsWhileAParkAirportIsSet) {
  MainWindowState& s = g_mainWindowState;
  s.parkAirportValid = 1;
  s.parkTrafficWeek = 12;
  s.standCount = 140;
  s.parkTarget = 0;
  s.storeText(&MainWindowState::parkAirportText, "EHAM (AMS)", kParkArea);
  s.storeText(&MainWindowState::parkAirportNameText, "Schiphol", kParkArea);
  s.storeText(&MainWindowState::parkPublisherText, "simaddon", kParkArea);
  s.storeText(&MainWindowState::reservedStandText, "D7", kParkArea);
  repaint();
  EXPECT_EQ(textColour(u"EHAM (AMS)"), kGreen);
  EXPECT_EQ(textColour(u" Schiphol, simaddon, wk=12"), kGreen);
  EXPECT_EQ(textColour(u"reserved stand: D7"), kRed);  // not yet confirmed
  EXPECT_EQ(textColour(u"# stands: 140"), kGreen);
  EXPECT_EQ(textColour(u"no max park live"), kGreen);
  EXPECT_FALSE(textColour(u"*S*"));
  s.parkAirportValid = 0;
  s.storeText(&MainWindowState::parkAirportText, "", kParkArea);
  s.storeText(&MainWindowState::reservedStandText, "", kParkArea);
  repaint();
  EXPECT_FALSE(textColour(u"# stands: 140"));
}

// An error stays in a red line; messages wait until it is gone.
TEST_F(StatusPanelTest, ErrorLine) {
  gf_showMessage("scanning", false);
  repaint();
  EXPECT_EQ(pixel(870, 460), kGreen);
  EXPECT_EQ(textColour(u"scanning"), kYellow);
  gf_showError("41: Zendrik_P3D must be run from the Zendrik_P3D folder!");
  gf_showMessage("later", true);
  repaint();
  EXPECT_EQ(pixel(870, 460), kRed);
  EXPECT_EQ(textColour(u"41: Zendrik_P3D must be run from the Zendrik_P3D folder!"), kYellow);
  EXPECT_FALSE(textColour(u"later"));
  EXPECT_FALSE(textColour(u"scanning"));
}

// SIGUSR1's request: the PNG is written once the window has been painted again.
TEST_F(StatusPanelTest, WindowPngAfterThePaint) {
  platform_test::EnvGuard env;
  const auto png = folder_.path() / "window.png";
  env.set("ZENDRIK_WINDOW_PNG", png.string());
  platform::gf_requestWindowPng();
  EXPECT_FALSE(std::filesystem::exists(png));
  platform::gf_pumpMessages();
  ASSERT_TRUE(std::filesystem::exists(png));
  std::ifstream in(png, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

}  // namespace
