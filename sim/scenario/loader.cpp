#include "scenario/scenario.h"

#include <algorithm>
#include <cstring>

namespace sim {

World world;

void Loader::error(int line, const std::string& key, const std::string& what) {
  if (!message_.empty()) return;
  message_ = file_ + ":" + std::to_string(line) + ": key " + key + ": " + what;
}

int Section::line(const char* key) const {
  if (table_) {
    if (const toml::node* n = table_->get(key)) return int(n->source().begin.line);
    return int(table_->source().begin.line);
  }
  return 1;
}

bool Section::has(const char* key) const { return table_ && table_->contains(key); }

const toml::node* Section::node(const char* key) {
  used_.emplace_back(key);
  return table_ ? table_->get(key) : nullptr;
}

void Section::fail(const char* key, const std::string& what) {
  loader_->error(line(key), name(key), what);
}

int64_t Section::integer(const char* key, int64_t fallback, int64_t min, int64_t max) {
  const toml::node* n = node(key);
  if (!n) return fallback;
  auto v = n->value_exact<int64_t>();
  if (!v) {
    fail(key, "must be an integer");
    return fallback;
  }
  if (*v < min || *v > max) {
    fail(key, "must lie in " + std::to_string(min) + ".." + std::to_string(max));
    return fallback;
  }
  return *v;
}

bool Section::boolean(const char* key, bool fallback) {
  const toml::node* n = node(key);
  if (!n) return fallback;
  auto v = n->value_exact<bool>();
  if (!v) {
    fail(key, "must be true or false");
    return fallback;
  }
  return *v;
}

std::string Section::text(const char* key, const std::string& fallback) {
  const toml::node* n = node(key);
  if (!n) return fallback;
  auto v = n->value_exact<std::string>();
  if (!v) {
    fail(key, "must be a string");
    return fallback;
  }
  return *v;
}

std::u16string Section::wideText(const char* key, const std::u16string& fallback) {
  if (!has(key)) {
    node(key);
    return fallback;
  }
  return widen(text(key, ""));
}

std::vector<int64_t> Section::integers(const char* key, int64_t min, int64_t max) {
  std::vector<int64_t> out;
  const toml::node* n = node(key);
  if (!n) return out;
  const toml::array* a = n->as_array();
  if (!a) {
    fail(key, "must be an array of integers");
    return out;
  }
  for (const toml::node& e : *a) {
    auto v = e.value_exact<int64_t>();
    if (!v) {
      fail(key, "must be an array of integers");
      return {};
    }
    if (*v < min || *v > max) {
      fail(key, "values must lie in " + std::to_string(min) + ".." + std::to_string(max));
      return {};
    }
    out.push_back(*v);
  }
  return out;
}

std::vector<std::string> Section::texts(const char* key) {
  std::vector<std::string> out;
  const toml::node* n = node(key);
  if (!n) return out;
  const toml::array* a = n->as_array();
  if (!a) {
    fail(key, "must be an array of strings");
    return out;
  }
  for (const toml::node& e : *a) {
    auto v = e.value_exact<std::string>();
    if (!v) {
      fail(key, "must be an array of strings");
      return {};
    }
    out.push_back(*v);
  }
  return out;
}

Section Section::table(const char* key) {
  const toml::node* n = node(key);
  if (n && !n->is_table()) {
    fail(key, "must be a table");
    return Section(nullptr, name(key), loader_);
  }
  return Section(n ? n->as_table() : nullptr, name(key), loader_);
}

std::vector<Section> Section::tables(const char* key) {
  std::vector<Section> out;
  const toml::node* n = node(key);
  if (!n) return out;
  const toml::array* a = n->as_array();
  if (!a || !a->is_array_of_tables()) {
    fail(key, "must be an array of tables ([[" + name(key) + "]])");
    return out;
  }
  for (size_t i = 0; i < a->size(); i++) {
    out.emplace_back((*a)[i].as_table(), name(key) + "[" + std::to_string(i) + "]", loader_);
  }
  return out;
}

std::vector<std::string> Section::keys() {
  std::vector<std::string> out;
  if (!table_) return out;
  for (auto&& [k, v] : *table_) {
    out.emplace_back(k.str());
    used_.emplace_back(k.str());
  }
  return out;
}

void Section::done() {
  if (!table_) return;
  for (auto&& [k, v] : *table_) {
    std::string key(k.str());
    if (std::find(used_.begin(), used_.end(), key) == used_.end()) {
      loader_->error(int(v.source().begin.line), name(key.c_str()), "unknown key");
      return;
    }
  }
}


void loadClock(Section& s, ClockWorld& w) {
  if (const toml::node* n = s.node("local")) {
    auto dt = n->value_exact<toml::date_time>();
    if (!dt || dt->offset) {
      s.fail("local", "must be a local date and time, like 2006-03-05T09:07:02");
    } else {
      w.year = dt->date.year;
      w.month = dt->date.month;
      w.day = dt->date.day;
      w.hour = dt->time.hour;
      w.minute = dt->time.minute;
      w.second = dt->time.second;
      if (w.year < 1980 || w.year > 2099) s.fail("local", "year must lie in 1980..2099");
    }
  }
  w.bias = int32_t(s.integer("bias", 0, -1440, 1440));
  w.standardBias = int32_t(s.integer("standard_bias", 0, -1440, 1440));
  w.daylightBias = int32_t(s.integer("daylight_bias", 0, -1440, 1440));
  w.daylight = s.boolean("daylight", false);
  s.done();
}

void loadSystem(Section& s, SystemWorld& w) {
  w.commandLine = s.wideText("command_line", u"");
  w.tempExists = s.boolean("temp_folder", true);
  w.maxThreads = uint32_t(s.integer("max_threads", 0, 0, 100000));
  for (int64_t v : s.integers("fail_thread_starts", 1, INT32_MAX)) w.failThreadStarts.push_back(uint32_t(v));
  for (int64_t v : s.integers("fail_allocations", 1, INT32_MAX)) w.failAllocations.push_back(uint32_t(v));
  for (int64_t v : s.integers("fail_file_opens", 1, INT32_MAX)) w.failFileOpens.push_back(uint32_t(v));
  for (int64_t v : s.integers("fail_text_conversions", 1, INT32_MAX))
    w.failTextConversions.push_back(uint32_t(v));
  for (int64_t v : s.integers("fail_file_times", 1, INT32_MAX)) w.failFileTimes.push_back(uint32_t(v));
  w.preemptPercent = uint32_t(s.integer("preempt", 0, 0, 100));
  w.preemptSeed = uint64_t(s.integer("preempt_seed", 1, 0, INT64_MAX));
  Section m = s.table("messages");
  for (const std::string& k : m.keys()) {
    char* end = nullptr;
    unsigned long code = std::strtoul(k.c_str(), &end, 10);
    if (k.empty() || *end || code > 0xFFFFFFFFul) {
      m.fail(k.c_str(), "message keys must be error codes (decimal)");
      continue;
    }
    const toml::node* n = m.node(k.c_str());
    auto v = n ? n->value_exact<std::string>() : std::nullopt;
    if (!v) {
      m.fail(k.c_str(), "must be a string");
      continue;
    }
    w.messages[uint32_t(code)] = widen(*v);
  }
  s.done();
}

void loadDriver(Section& s, DriverWorld& w) {
  w.opens = s.boolean("opens", true);
  w.openError = uint32_t(s.integer("open_error", 2, 0, UINT32_MAX));
  for (Section& b : s.tables("binding")) {
    Binding x;
    x.index = uint32_t(b.integer("index", int64_t(w.bindings.size()), 0, UINT32_MAX));
    x.deviceName = b.wideText("name", u"");
    x.description = b.wideText("description", u"");
    x.queryFails = b.boolean("query_fails", false);
    x.queryError = uint32_t(b.integer("query_error", 259, 0, UINT32_MAX));
    x.acceptsScan = b.boolean("wlan", false);
    x.nameLength = b.integer("name_length", -1, -1, UINT32_MAX);
    x.nameOffset = b.integer("name_offset", -1, -1, UINT32_MAX);
    for (const Binding& o : w.bindings)
      if (o.index == x.index) b.fail("index", "two bindings with index " + std::to_string(x.index));
    b.done();
    w.bindings.push_back(x);
  }
  s.done();
}

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
  enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };
  // '[' array, '{' inline table, 'h' table header
  std::vector<char> nesting;
  In in = In::Plain;
  bool key = true;         // plain text is in a key
  bool valueStart = false; // the next token starts a value
  bool guarded = false;    // the open string is no value: ASCII only
  bool afterBackslash = false, skippingBreak = false;
  int line = 1;
  size_t n = text.size();
  auto at = [&](size_t i, const char* s) { return text.compare(i, std::strlen(s), s) == 0; };
  // A line ends a key-value pair, unless an array or inline table is open.
  auto lineEnds = [&] {
    if (nesting.empty() || nesting.back() == 'h') {
      nesting.clear();
      key = true;
      valueStart = false;
    }
  };
  auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (size_t i = 0; i < n; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') line++;
    bool wide = c >= 0x80;
    switch (in) {
      case In::Comment:
        if (c == '\n') {
          in = In::Plain;
          lineEnds();
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
        if (wide && guarded) return line;
        if (c == '\\') {
          afterBackslash = true;
        } else if (in == In::Basic && (c == '"' || c == '\n')) {
          in = In::Plain;
          if (c == '\n') lineEnds();
        } else if (in == In::MultiBasic && at(i, "\"\"\"")) {
          while (i + 1 < n && text[i + 1] == '"') i++; // up to two quotes belong to the text
          in = In::Plain;
        }
        break;
      case In::Literal:
      case In::MultiLiteral:
        if (wide && guarded) return line;
        if (in == In::Literal && (c == '\'' || c == '\n')) {
          in = In::Plain;
          if (c == '\n') lineEnds();
        } else if (in == In::MultiLiteral && at(i, "\'\'\'")) {
          while (i + 1 < n && text[i + 1] == '\'') i++;
          in = In::Plain;
        }
        break;
      case In::Plain:
        if (wide) return line;
        if (c == '#') {
          in = In::Comment;
        } else if (c == '"' || c == '\'') {
          guarded = !valueStart;
          valueStart = false;
          bool multi = at(i, c == '"' ? "\"\"\"" : "\'\'\'");
          in = c == '"' ? (multi ? In::MultiBasic : In::Basic) : (multi ? In::MultiLiteral : In::Literal);
          if (multi) i += 2;
        } else if (c == '=') {
          valueStart = key; // a second '=' starts nothing
          key = false;
        } else if (c == '[') {
          bool header = key && (nesting.empty() || nesting.back() == 'h');
          nesting.push_back(header ? 'h' : '[');
          valueStart = !header;
        } else if (c == '{') {
          nesting.push_back('{');
          key = true;
          valueStart = false;
        } else if (c == ']' || c == '}') {
          if (!nesting.empty()) nesting.pop_back();
          valueStart = false;
        } else if (c == ',') {
          bool table = !nesting.empty() && nesting.back() == '{';
          key = table;
          valueStart = !table;
        } else if (c == '\n') {
          lineEnds();
        } else if (!blank(c)) {
          valueStart = false;
        }
        break;
    }
  }
  return 0;
}

bool loadScenario(const std::string& text, const std::string& file, World& out,
                  std::string& error) {
  Loader loader(file);
  if (int line = strayCharacterLine(text)) {
    error = file + ":" + std::to_string(line) +
            ": syntax: a character beyond ASCII outside a string value or comment";
    return false;
  }
  toml::table root;
  try {
    root = toml::parse(text, file);
  } catch (const toml::parse_error& e) {
    error = file + ":" + std::to_string(e.source().begin.line) + ": syntax: " +
            std::string(e.description());
    return false;
  }
  World w;
  w.file = file;
  Section top(&root, "", &loader);
  {
    Section s = top.table("clock");
    loadClock(s, w.clock);
  }
  {
    Section s = top.table("system");
    loadSystem(s, w.system);
  }
  {
    Section s = top.table("driver");
    loadDriver(s, w.driver);
  }
  {
    Section s = top.table("radio");
    loadRadio(s, w.radio);
  }
  {
    Section s = top.table("ip");
    loadIp(s, w.ip);
  }
  {
    Section s = top.table("ui");
    loadUi(s, w.ui);
  }
  if (!loader.failed()) checkWorld(top, w);
  top.done();
  if (loader.failed()) {
    error = loader.message();
    return false;
  }
  out = std::move(w);
  return true;
}

} // namespace sim
