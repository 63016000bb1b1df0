// Writing a picture of the screen as PNG.
#pragma once
#include <cstdint>
#include <string>

namespace sim {

// Writes width x height pixels of 8-bit RGB, rows top to bottom, as an RGB
// PNG. The same pixels always give the same bytes (no time stamp, fixed
// compression). False, with a reason in `error`, when it cannot be written.
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb,
              std::string& error);
// The same PNG, into `bytes` (the run report keeps frames in memory).
bool encodePng(int width, int height, const uint8_t* rgb, std::string& bytes);

}  // namespace sim
