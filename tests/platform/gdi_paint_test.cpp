// Painting through the GDI calls on the headless backend, checked on the saved PNG by pixel
// probes, and the safety rules of contexts and objects.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <memory>

#include "gui_test_support.h"
#include "platform/render_text.h"

namespace {

using guitest::WindowGuard;

// Made during static initialisation, as the program makes its window brushes.
const HBRUSH g_redBrush = CreateSolidBrush(0x0000FF);
const HBRUSH g_lightBlueBrush = CreateSolidBrush(0xFFCC99);
const HBRUSH g_blackBrush = CreateSolidBrush(0x000000);
const HBRUSH g_greenBrush = CreateSolidBrush(0x32CD32);
const HBRUSH g_yellowBrush = CreateSolidBrush(0x00FFFF);
const HPEN g_blackPen = CreatePen(PS_SOLID, 1, 0x000000);
const HPEN g_whitePen = CreatePen(PS_SOLID, 1, 0xFFFFFF);

HDC g_lastDc = nullptr;

void fill(HDC dc, RECT r, HBRUSH b) { FillRect(dc, &r, b); }
void line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x1 == x2 && y1 == y2 ? x2 + 1 : x2, y2);
}
void text(HDC dc, int x, int y, const std::u16string& t, COLORREF c) {
  SetTextColor(dc, c);
  TextOutW(dc, x, y, t.c_str(), static_cast<int>(t.size()));
}

LRESULT CALLBACK panelProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_PAINT) return DefWindowProcW(w, m, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  g_lastDc = dc;
  fill(dc, {0, 0, 880, 28}, g_blackBrush);
  fill(dc, {0, 28, 880, 112}, g_blackBrush);
  fill(dc, {0, 112, 880, 392}, g_lightBlueBrush);
  fill(dc, {0, 392, 880, 448}, g_blackBrush);
  fill(dc, {0, 448, 880, 476}, g_greenBrush);
  fill(dc, {397, 30, 425, 112}, g_redBrush);
  fill(dc, {425, 30, 453, 112}, g_yellowBrush);
  HGDIOBJ old = SelectObject(dc, g_whitePen);
  line(dc, 0, 28, 880, 28);
  line(dc, 0, 113, 880, 113);
  SelectObject(dc, g_blackPen);
  line(dc, 0, 140, 880, 140);
  line(dc, 642, 140, 642, 308);
  SelectObject(dc, old);
  SetBkMode(dc, TRANSPARENT);
  text(dc, 3, 7, u"Version 10.10.9", 0x32CD32);
  text(dc, 3, 455, u"Waiting for RealTraffic", 0x00FFFF);
  EndPaint(w, &ps);
  return 0;
}

struct Png {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  COLORREF at(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return RGB(p[0], p[1], p[2]);
  }
};

// Reads the PNG back with libpng's simplified API, converted to 8-bit RGB.
Png readPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Png out;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return Png{};
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  return out;
}

// Counts pixels in a box whose colour is near `c` (anti-aliased text is never exact).
int countNear(const Png& png, RECT box, COLORREF c, int tolerance = 60) {
  int n = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      const COLORREF p = png.at(x, y);
      if (std::abs(GetRValue(p) - GetRValue(c)) <= tolerance &&
          std::abs(GetGValue(p) - GetGValue(c)) <= tolerance &&
          std::abs(GetBValue(p) - GetBValue(c)) <= tolerance) {
        ++n;
      }
    }
  }
  return n;
}

const WCHAR* panelClass() {
  static const WCHAR* name =
      guitest::testClass(u"PanelTest", panelProc, CreateSolidBrush(RGB(0, 0, 0)));
  return name;
}

class GdiPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("zendrik gdi test " + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(GdiPaint, PanelWithFiveBrushesLinesAndTextLandsInThePng) {
  WindowGuard w(guitest::makeMainWindow(nullptr, panelClass()));
  const std::string path = (dir_ / "window.png").string();
  std::string error;
  ASSERT_TRUE(platform::gf_saveWindowPng(w.get(), path, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  const Png png = readPng(path);
  RECT client;
  GetClientRect(w.get(), &client);
  ASSERT_EQ(png.width, client.right);
  ASSERT_EQ(png.height, client.bottom);

  struct Probe {
    int x, y;
    COLORREF expected;
  };
  const Probe probes[] = {
      {200, 15, RGB(0, 0, 0)},         {200, 60, RGB(0, 0, 0)},
      {200, 200, RGB(153, 204, 255)},  {200, 420, RGB(0, 0, 0)},
      {800, 460, RGB(50, 205, 50)},    {410, 80, RGB(255, 0, 0)},
      {440, 80, RGB(255, 255, 0)},     {300, 28, RGB(255, 255, 255)},
      {300, 113, RGB(255, 255, 255)},  {300, 140, RGB(0, 0, 0)},
      {300, 141, RGB(153, 204, 255)},  {642, 200, RGB(0, 0, 0)},
      {643, 200, RGB(153, 204, 255)},  {642, 308, RGB(153, 204, 255)},  // end point not drawn
      {10, 480, RGB(0, 0, 0)},  // below the status line: the class background
  };
  for (const Probe& p : probes) {
    EXPECT_EQ(png.at(p.x, p.y), p.expected) << "at " << p.x << "," << p.y;
  }
  if (!platform::gf_fontAvailable()) GTEST_SKIP() << "DejaVu Sans is not installed";
  // Text: green pixels where the version text goes and none left of its start.
  EXPECT_GT(countNear(png, {3, 7, 130, 25}, RGB(50, 205, 50)), 40);
  EXPECT_EQ(countNear(png, {0, 0, 3, 28}, RGB(50, 205, 50)), 0);
  EXPECT_EQ(countNear(png, {140, 0, 390, 28}, RGB(50, 205, 50)), 0);
  // Yellow status text on the green line, transparent background kept green around it.
  EXPECT_GT(countNear(png, {3, 455, 200, 472}, RGB(255, 255, 0), 40), 40);
  EXPECT_EQ(countNear(png, {250, 450, 870, 475}, RGB(255, 255, 0), 40), 0);
}

TEST_F(GdiPaint, RecordHoldsEveryOperationInClientCoordinates) {
  WindowGuard w(guitest::makeMainWindow(nullptr, panelClass()));
  int lines = 0;
  bool versionSeen = false;
  for (const auto& op : platform::gf_paintRecord(w.get())) {
    lines += op.kind == platform::PaintOp::Kind::line ? 1 : 0;
    if (op.kind == platform::PaintOp::Kind::text && op.text == u"Version 10.10.9") {
      versionSeen = true;
      EXPECT_EQ(op.rect.left, 3);
      EXPECT_EQ(op.rect.top, 7);
      EXPECT_EQ(op.color, 0x32CD32u);
      EXPECT_FALSE(op.opaque);
    }
  }
  EXPECT_EQ(lines, 4);
  EXPECT_TRUE(versionSeen);
  platform::gf_clearPaintRecord(w.get());
  EXPECT_TRUE(platform::gf_paintRecord(w.get()).empty());
}

TEST_F(GdiPaint, ContextIsRefusedAfterEndPaint) {
  WindowGuard w(guitest::makeMainWindow(nullptr, panelClass()));
  ASSERT_NE(g_lastDc, nullptr);
  const COLORREF before = platform::gf_pixelAt(w.get(), 10, 460);
  const RECT r{0, 448, 880, 476};
  EXPECT_EQ(FillRect(g_lastDc, &r, g_redBrush), 0);
  EXPECT_FALSE(TextOutW(g_lastDc, 3, 455, u"late", 4));
  EXPECT_EQ(SetBkMode(g_lastDc, OPAQUE), 0);
  EXPECT_EQ(SetTextColor(g_lastDc, 0), CLR_INVALID);
  EXPECT_EQ(SelectObject(g_lastDc, g_blackPen), nullptr);
  EXPECT_EQ(platform::gf_pixelAt(w.get(), 10, 460), before);
}

TEST_F(GdiPaint, ChildrenRepaintOverTheirParentAndAreClippedByIt) {
  WindowGuard w(guitest::makeMainWindow(nullptr, panelClass()));
  // The install-path field is wider than the window.
  HWND wide = CreateWindowExW(0, u"Edit", u"", 0x50800000, 111, 119, 1200, 16, w.get(),
                              reinterpret_cast<HMENU>(32788), nullptr, nullptr);
  platform::gf_pumpMessages();
  RECT client;
  GetClientRect(w.get(), &client);
  EXPECT_EQ(platform::gf_pixelAt(w.get(), client.right - 1, 127), RGB(255, 255, 255));
  EXPECT_EQ(platform::gf_pixelAt(w.get(), 111, 127), RGB(0x7A, 0x7A, 0x7A));  // its border
  // The parent repaints the whole settings area light blue; the field comes back on top.
  const RECT settings{0, 112, 880, 392};
  InvalidateRect(w.get(), &settings, TRUE);
  platform::gf_pumpMessages();
  EXPECT_EQ(platform::gf_pixelAt(w.get(), 400, 127), RGB(255, 255, 255));
  EXPECT_EQ(platform::gf_pixelAt(w.get(), 400, 200), RGB(153, 204, 255));
  // Hidden, it leaves the parent's colour behind.
  ShowWindow(wide, SW_HIDE);
  platform::gf_pumpMessages();
  EXPECT_EQ(platform::gf_pixelAt(w.get(), 400, 127), RGB(153, 204, 255));
  platform::gf_clickAt(w.get(), 400, 127);  // and no longer takes clicks
  platform::gf_pumpMessages();
  EXPECT_EQ(platform::gf_focusWindow(w.get()), nullptr);
}

// Lines whose end points lie far outside the window, as a caller's arithmetic can produce.
LRESULT CALLBACK farLinesProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_PAINT) return DefWindowProcW(w, m, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  fill(dc, {0, 0, 880, 480}, g_blackBrush);
  HGDIOBJ old = SelectObject(dc, g_whitePen);
  MoveToEx(dc, -2000000000, 50, nullptr);
  LineTo(dc, 2000000000, 50);
  MoveToEx(dc, 60, 2000000000, nullptr);
  LineTo(dc, 60, -2000000000);
  MoveToEx(dc, -1000000000, -1000000000, nullptr);
  LineTo(dc, 1000000000, 1000000000);
  HPEN thick = CreatePen(PS_SOLID, 5, 0x00FFFF);
  SelectObject(dc, thick);
  MoveToEx(dc, 300, -2147483647, nullptr);
  LineTo(dc, 300, 2147483647);
  SelectObject(dc, old);
  DeleteObject(thick);
  EndPaint(w, &ps);
  return 0;
}

// A child that fills a rectangle reaching the ends of the coordinate range.
LRESULT CALLBACK hugeFillProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_PAINT) return DefWindowProcW(w, m, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  fill(dc, {-2147483647, -2147483647, 2147483647, 2147483647}, g_redBrush);
  EndPaint(w, &ps);
  return 0;
}

TEST_F(GdiPaint, LinesFromFarOutsideAreDrawnWhereTheyCrossTheWindow) {
  WindowGuard w(
      guitest::makeMainWindow(nullptr, guitest::testClass(u"FarLinesTest", farLinesProc)));
  // The same for a fill in a child, whose client origin lies inside the window.
  CreateWindowExW(0, guitest::testClass(u"HugeFillTest", hugeFillProc), u"", WS_CHILD | WS_VISIBLE,
                  500, 300, 40, 20, w.get(), nullptr, nullptr, nullptr);
  platform::gf_pumpMessages();
  constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);
  constexpr COLORREF kYellow = RGB(255, 255, 0), kRed = RGB(255, 0, 0);
  const struct {
    int x, y;
    COLORREF expected;
  } probes[] = {
      {0, 50, kWhite},    {500, 50, kWhite},   {500, 51, kBlack},   // horizontal
      {60, 0, kWhite},    {60, 400, kWhite},   {61, 400, kBlack},   // vertical
      {100, 100, kWhite}, {200, 200, kWhite},  {200, 201, kBlack},  // the diagonal
      {297, 300, kBlack}, {298, 300, kYellow}, {302, 300, kYellow}, {303, 300, kBlack},  // 5 px
      {500, 300, kRed},   {539, 319, kRed},    {540, 319, kBlack},  // the child's huge fill
  };
  for (const auto& p : probes) {
    EXPECT_EQ(platform::gf_pixelAt(w.get(), p.x, p.y), p.expected) << p.x << "," << p.y;
  }
}

TEST_F(GdiPaint, ObjectRules) {
  EXPECT_TRUE(DeleteObject(GetStockObject(DC_BRUSH)));  // stock objects stay
  EXPECT_NE(GetStockObject(DC_BRUSH), nullptr);
  EXPECT_EQ(GetStockObject(99), nullptr);
  HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(b));  // already gone: refused, not freed twice
  EXPECT_FALSE(DeleteObject(nullptr));
}

}  // namespace
