#include "screen/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <map>
#include <memory>

#ifndef QV_FONT_FILE
#error "QV_FONT_FILE names the screen's font file"
#endif

namespace sim {

struct Font {
  FT_Face face = nullptr;
  int cellHeight = 0;
  int ascent = 0;
  std::map<char32_t, Glyph> glyphs;
};

namespace {

FT_Library library = nullptr;
std::map<int, std::unique_ptr<Font>> fonts;  // by cell height

bool openLibrary(std::string& error) {
  if (library) return true;
  if (FT_Init_FreeType(&library) != 0) {
    library = nullptr;
    error = "FreeType does not start";
    return false;
  }
  return true;
}

}  // namespace

Font* openFont(int cellHeight, std::string& error) {
  if (cellHeight < 1 || cellHeight > 512) {
    error = "cell height out of range";
    return nullptr;
  }
  auto it = fonts.find(cellHeight);
  if (it != fonts.end()) return it->second.get();
  if (!openLibrary(error)) return nullptr;
  auto f = std::make_unique<Font>();
  if (FT_New_Face(library, QV_FONT_FILE, 0, &f->face) != 0) {
    error = std::string("cannot load the font ") + QV_FONT_FILE;
    return nullptr;
  }
  // The cell is the face's ascent plus descent, as the device's font mapper
  // sizes a font from a positive height; the Windows metrics say how far
  // the face reaches, the typographic ones stand in where they are missing.
  int asc = f->face->ascender, desc = -f->face->descender;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f->face, FT_SFNT_OS2))) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
  }
  int units = asc + desc > 0 ? asc + desc : f->face->units_per_EM;
  long em64 = (long(cellHeight) * 64 * f->face->units_per_EM + units / 2) / units;
  if (FT_Set_Char_Size(f->face, 0, em64, 72, 72) != 0) {
    FT_Done_Face(f->face);
    error = "the font cannot be sized";
    return nullptr;
  }
  f->cellHeight = cellHeight;
  f->ascent = (cellHeight * asc + units / 2) / units;
  Font* raw = f.get();
  fonts[cellHeight] = std::move(f);
  return raw;
}

int fontCellHeight(const Font* font) { return font->cellHeight; }
int fontAscent(const Font* font) { return font->ascent; }

const Glyph& fontGlyph(Font* font, char32_t character) {
  auto it = font->glyphs.find(character);
  if (it != font->glyphs.end()) return it->second;
  Glyph& g = font->glyphs[character];
  FT_UInt index = FT_Get_Char_Index(font->face, character);
  if (FT_Load_Glyph(font->face, index, FT_LOAD_DEFAULT) != 0 ||
      FT_Render_Glyph(font->face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
    return g;  // nothing drawn, no advance
  }
  FT_GlyphSlot s = font->face->glyph;
  g.left = s->bitmap_left;
  g.top = s->bitmap_top;
  g.width = int(s->bitmap.width);
  g.rows = int(s->bitmap.rows);
  g.advance = int(s->advance.x >> 6);
  g.coverage.resize(size_t(g.width) * size_t(g.rows));
  for (int r = 0; r < g.rows; r++) {
    const unsigned char* row = s->bitmap.buffer + long(r) * s->bitmap.pitch;
    for (int c = 0; c < g.width; c++) g.coverage[size_t(r) * size_t(g.width) + size_t(c)] = row[c];
  }
  return g;
}

void warmFonts() {
  // The system font's cell and the console's (a 12-pixel cell).
  for (int cell : {16, 12}) {
    std::string error;
    Font* f = openFont(cell, error);
    if (!f) return;
    for (char32_t c = 0x20; c < 0x7F; c++) fontGlyph(f, c);
  }
}

}  // namespace sim
