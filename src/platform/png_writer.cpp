// libpng writer for framebuffers.
#include "platform/png_writer.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace platform {
namespace {

void lf_setError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// libpng reports failures through longjmp; this function holds no C++ objects that need
// destructors between setjmp and the calls that may jump.
bool lf_writeRows(std::FILE* file, int width, int height, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool gf_writePng(const std::string& path, const Framebuffer& fb, std::string* error) {
  if (fb.width <= 0 || fb.height <= 0 ||
      fb.pixels.size() != static_cast<std::size_t>(fb.width) * static_cast<std::size_t>(fb.height)) {
    lf_setError(error, "empty framebuffer");
    return false;
  }
  std::vector<png_byte> data(fb.pixels.size() * 3);
  for (std::size_t i = 0; i < fb.pixels.size(); ++i) {
    data[i * 3] = static_cast<png_byte>((fb.pixels[i] >> 16) & 0xFF);
    data[i * 3 + 1] = static_cast<png_byte>((fb.pixels[i] >> 8) & 0xFF);
    data[i * 3 + 2] = static_cast<png_byte>(fb.pixels[i] & 0xFF);
  }
  std::vector<png_bytep> rows(static_cast<std::size_t>(fb.height));
  for (int y = 0; y < fb.height; ++y) rows[y] = data.data() + static_cast<std::size_t>(y) * fb.width * 3;
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    lf_setError(error, "cannot create " + temporary);
    return false;
  }
  const bool written = lf_writeRows(file, fb.width, fb.height, rows.data());
  const bool closed = std::fclose(file) == 0;
  std::error_code ec;
  if (!written || !closed) {
    std::filesystem::remove(temporary, ec);
    lf_setError(error, "cannot write " + temporary);
    return false;
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    lf_setError(error, "cannot rename to " + path);
    return false;
  }
  return true;
}

}  // namespace platform
