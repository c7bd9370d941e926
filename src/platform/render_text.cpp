// FreeType glyph rendering with a glyph cache.
#include "platform/render_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// Advance used for every character when the font file is missing.
constexpr int kFallbackAdvance = 7;
constexpr char32_t kReplacement = 0xFFFD;

struct Glyph {
  std::vector<unsigned char> alpha;  // width x rows coverage
  int width = 0;
  int rows = 0;
  int left = 0;  // bearing from the pen position
  int top = 0;   // rows above the baseline
  int advance = 0;
};

struct Font {
  std::mutex mutex;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FontMetrics metrics;
  std::unordered_map<char32_t, Glyph> glyphs;
};

Font& lf_font() {
  static Font* font = [] {
    auto* f = new Font;  // lives until the process ends
    if (FT_Init_FreeType(&f->library) != 0 ||
        FT_New_Face(f->library, kFontPath, 0, &f->face) != 0 ||
        FT_Set_Pixel_Sizes(f->face, 0, kFontPixelSize) != 0) {
      std::fprintf(stderr, "window layer: cannot load the font %s; texts are not drawn\n",
                   kFontPath);
      f->face = nullptr;
      f->metrics = FontMetrics{12, 4, 16};
      return f;
    }
    const auto& m = f->face->size->metrics;
    f->metrics.ascent = static_cast<int>((m.ascender + 63) >> 6);
    f->metrics.descent = static_cast<int>((-m.descender + 63) >> 6);
    f->metrics.height = f->metrics.ascent + f->metrics.descent;
    return f;
  }();
  return *font;
}

const Glyph& lf_glyphLocked(Font& font, char32_t c) {
  auto it = font.glyphs.find(c);
  if (it != font.glyphs.end()) return it->second;
  Glyph g;
  g.advance = kFallbackAdvance;
  if (font.face != nullptr && FT_Load_Char(font.face, c, FT_LOAD_RENDER) == 0) {
    const FT_GlyphSlot slot = font.face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.alpha.resize(static_cast<std::size_t>(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y) {
      for (int x = 0; x < g.width; ++x) {
        g.alpha[static_cast<std::size_t>(y) * g.width + x] = bm.buffer[y * bm.pitch + x];
      }
    }
  }
  return font.glyphs.emplace(c, std::move(g)).first->second;
}

// Decodes UTF-16; a lone surrogate becomes U+FFFD.
template <typename F>
void lf_forEachCodePoint(std::u16string_view text, F&& f) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    f(c);
  }
}

}  // namespace

FontMetrics gf_fontMetrics() {
  Font& font = lf_font();
  return font.metrics;
}

bool gf_fontAvailable() { return lf_font().face != nullptr; }

int gf_textWidth(std::u16string_view text) {
  Font& font = lf_font();
  std::lock_guard lock(font.mutex);
  int width = 0;
  lf_forEachCodePoint(text, [&](char32_t c) { width += lf_glyphLocked(font, c).advance; });
  return width;
}

int gf_drawText(Framebuffer& fb, int x, int y, std::u16string_view text, std::uint32_t pixel,
                const RECT& clip) {
  Font& font = lf_font();
  std::lock_guard lock(font.mutex);
  const int baseline = y + font.metrics.ascent;
  int pen = x;
  lf_forEachCodePoint(text, [&](char32_t c) {
    const Glyph& g = lf_glyphLocked(font, c);
    for (int row = 0; row < g.rows; ++row) {
      for (int col = 0; col < g.width; ++col) {
        gf_blendPixel(fb, pen + g.left + col, baseline - g.top + row, pixel,
                      g.alpha[static_cast<std::size_t>(row) * g.width + col], clip);
      }
    }
    pen += g.advance;
  });
  return pen - x;
}

}  // namespace platform
