// PNG files of a framebuffer.
#pragma once

#include "platform/headless.h"

#include <string>

namespace platform {

// Writes an 8-bit RGB PNG through a temporary file renamed into place; false with a reason.
bool gf_writePng(const std::string& path, const Framebuffer& fb, std::string* error);

}  // namespace platform
