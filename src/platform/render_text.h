// Text in the one font of the window layer (DejaVu Sans through FreeType). Thread-safe; takes
// its own font mutex, which nests inside the gui mutex and never the other way round.
#pragma once

#include "platform/render_framebuffer.h"

#include <string_view>

namespace platform {

// Pixel size of the em of the layer's font.
constexpr int kFontPixelSize = 13;

struct FontMetrics {
  int ascent = 0;   // pixels above the baseline
  int descent = 0;  // pixels below it
  int height = 0;   // height of a text cell
};

FontMetrics gf_fontMetrics();
// Advance width of a UTF-16 text in pixels (lone surrogates count as U+FFFD).
int gf_textWidth(std::u16string_view text);
// Draws the text with its cell's top left corner at (x, y); returns its advance width.
int gf_drawText(Framebuffer& fb, int x, int y, std::u16string_view text, std::uint32_t pixel,
                const RECT& clip);
// Whether the font file was found (without it texts are measured but not drawn).
bool gf_fontAvailable();

}  // namespace platform
