#include <cstring>
#include <vector>

#include "scenario/scenario.h"

namespace sim {

namespace {

enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };

struct Guard {
  const std::string& text;
  // '[' array, '{' inline table, 'h' table header
  std::vector<char> nesting;
  In in = In::Plain;
  bool key = true;          // plain text is in a key
  bool valueStart = false;  // the next token starts a value
  bool guarded = false;     // the open string is no value: ASCII only

  bool at(size_t i, const char* s) const { return text.compare(i, std::strlen(s), s) == 0; }
  // A line ends a key-value pair, unless an array or inline table is open.
  void lineEnds() {
    if (nesting.empty() || nesting.back() == 'h') {
      nesting.clear();
      key = true;
      valueStart = false;
    }
  }
};

bool blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One ASCII character outside strings and comments; a quote opens a string
// (and skips the rest of a triple quote).
void plainCharacter(Guard& g, size_t& i, unsigned char c) {
  if (c == '#') {
    g.in = In::Comment;
  } else if (c == '"' || c == '\'') {
    g.guarded = !g.valueStart;
    g.valueStart = false;
    bool multi = g.at(i, c == '"' ? "\"\"\"" : "\'\'\'");
    g.in =
        c == '"' ? (multi ? In::MultiBasic : In::Basic) : (multi ? In::MultiLiteral : In::Literal);
    if (multi) i += 2;
  } else if (c == '=') {
    g.valueStart = g.key;  // a second '=' starts nothing
    g.key = false;
  } else if (c == '[') {
    bool header = g.key && (g.nesting.empty() || g.nesting.back() == 'h');
    g.nesting.push_back(header ? 'h' : '[');
    g.valueStart = !header;
  } else if (c == '{') {
    g.nesting.push_back('{');
    g.key = true;
    g.valueStart = false;
  } else if (c == ']' || c == '}') {
    if (!g.nesting.empty()) g.nesting.pop_back();
    g.valueStart = false;
  } else if (c == ',') {
    bool table = !g.nesting.empty() && g.nesting.back() == '{';
    g.key = table;
    g.valueStart = !table;
  } else if (c == '\n') {
    g.lineEnds();
  } else if (!blank(c)) {
    g.valueStart = false;
  }
}

}  // namespace

// The TOML library tests some characters beyond ASCII for being whitespace
// through a branch its authors marked unreachable, so what it does with
// them is undefined. It makes that test wherever it looks for the end of a
// token: outside strings, in quoted keys, after a line-ending backslash,
// and in whatever follows a bare value (a number, say) up to the next
// blank, comma or bracket. A scenario needs such characters only in string
// values and comments, so every other place is refused before the library
// sees the text. A string counts as a value only when it is the first
// token after '=', after an array's '[' or after a comma in an array.
// Answers the line of the first character refused, or 0.
int strayCharacterLine(const std::string& text) {
  Guard g{text, {}};
  In& in = g.in;
  bool afterBackslash = false, skippingBreak = false;
  int line = 1;
  size_t n = text.size();
  for (size_t i = 0; i < n; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') line++;
    bool wide = c >= 0x80;
    switch (in) {
      case In::Comment:
        if (c == '\n') {
          in = In::Plain;
          g.lineEnds();
        }
        break;
      case In::Basic:
      case In::MultiBasic:
        if (skippingBreak) {
          if (wide) return line;
          if (!blank(c)) skippingBreak = false;
        }
        if (afterBackslash) {
          afterBackslash = false;
          if (wide) return line;
          if (in == In::MultiBasic && blank(c)) skippingBreak = true;
          break;
        }
        if (wide && g.guarded) return line;
        if (c == '\\') {
          afterBackslash = true;
        } else if (in == In::Basic && (c == '"' || c == '\n')) {
          in = In::Plain;
          if (c == '\n') g.lineEnds();
        } else if (in == In::MultiBasic && g.at(i, "\"\"\"")) {
          while (i + 1 < n && text[i + 1] == '"') i++;  // up to two quotes belong to the text
          in = In::Plain;
        }
        break;
      case In::Literal:
      case In::MultiLiteral:
        if (wide && g.guarded) return line;
        if (in == In::Literal && (c == '\'' || c == '\n')) {
          in = In::Plain;
          if (c == '\n') g.lineEnds();
        } else if (in == In::MultiLiteral && g.at(i, "\'\'\'")) {
          while (i + 1 < n && text[i + 1] == '\'') i++;
          in = In::Plain;
        }
        break;
      case In::Plain:
        if (wide) return line;
        plainCharacter(g, i, c);
        break;
    }
  }
  return 0;
}

}  // namespace sim
