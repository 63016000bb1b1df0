#include "screen/png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

// libpng reports errors by longjmp, so nothing with a destructor may live
// between the setjmp and the calls that can fail.
bool encode(FILE* file, int width, int height, const uint8_t* rgb) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; y++) {
    png_write_row(png, const_cast<png_bytep>(rgb + size_t(y) * size_t(width) * 3));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const uint8_t* rgb,
              std::string& error) {
  if (width <= 0 || height <= 0 || !rgb) {
    error = "nothing to write";
    return false;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = encode(f, width, height, rgb);
  if (std::fclose(f) != 0) ok = false;
  if (!ok) error = "PNG encoding or writing failed";
  return ok;
}

bool encodePng(int width, int height, const uint8_t* rgb, std::string& bytes) {
  if (width <= 0 || height <= 0 || !rgb) return false;
  char* buffer = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buffer, &size);
  if (!f) return false;
  bool ok = encode(f, width, height, rgb);
  if (std::fclose(f) != 0) ok = false;
  if (ok) bytes.assign(buffer, size);
  std::free(buffer);
  return ok;
}

}  // namespace sim
