// The screen's one typeface, rendered with FreeType: a fixed-pitch bold
// font at any cell height.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// One rendered character: 8-bit coverage, placed relative to the pen on
// the baseline.
struct Glyph {
  int left = 0;  // from the pen to the bitmap's left column
  int top = 0;   // from the baseline up to the bitmap's top row
  int width = 0;
  int rows = 0;
  int advance = 0;  // pen movement in pixels
  std::vector<uint8_t> coverage;
};

struct Font;

// The font with the given cell height (ascent plus descent, in pixels);
// fonts are shared and live as long as the process. Null, with a reason in
// `error`, when the font file cannot be used.
Font* openFont(int cellHeight, std::string& error);
int fontCellHeight(const Font* font);
int fontAscent(const Font* font);
// Characters the face lacks render as its missing-glyph box.
const Glyph& fontGlyph(Font* font, char32_t character);
// Opens the font at each cell height the program asks for and renders the
// printable ASCII characters, so that processes forked after it (the
// explorer's runs) find them made. Changes nothing that is drawn.
void warmFonts();

}  // namespace sim
