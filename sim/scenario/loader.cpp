// Loading a scenario: the guard against stray characters, the TOML parse,
// one loader per section, the checks across sections.
#include <string_view>

#include "scenario/scenario.h"

namespace sim {

World world;

void addFaults(std::vector<Fault>& faults, FaultCall call, uint32_t target,
               const std::vector<int64_t>& occurrences, uint32_t answer) {
  if (occurrences.empty()) faults.push_back({call, target, EVERY_CALL, answer, 0});
  for (int64_t n : occurrences) faults.push_back({call, target, uint32_t(n), answer, 0});
}

std::vector<int64_t> faultOccurrences(Section& s, FaultCall call, int64_t most) {
  return s.integers(faultKind(call).key, 1, most);
}

void loadCallFaults(Section& s, FaultCall call, uint32_t answer, std::vector<Fault>& faults) {
  std::vector<int64_t> listed = faultOccurrences(s, call);
  if (!listed.empty()) addFaults(faults, call, 0, listed, answer);
}

bool loadScenario(const std::string& whole, const std::string& file, World& out, std::string& error,
                  std::string* warnings) {
  Loader loader(file);
  // What common Windows editors put first; the lines stay where they are.
  const std::string_view bom = "\xEF\xBB\xBF";
  std::string_view text = whole;
  if (text.substr(0, bom.size()) == bom) text.remove_prefix(bom.size());
  if (int line = strayCharacterLine(std::string(text))) {
    error = "quorvelta-sim: " + file + ":" + std::to_string(line) +
            ": syntax: a character beyond ASCII outside a string value or comment\n";
    return false;
  }
  toml::table root;
  try {
    // The parser's error paths look at the character after a syntax error
    // with tables that reach an unreachable branch for some characters
    // beyond ASCII (one after a value on the same line, say). So the file's
    // syntax is checked first with every such byte replaced by an ASCII
    // letter (same lines, same structure: they may only stand in strings
    // and comments), and only a file whose syntax holds is parsed as it is.
    // A file all in ASCII is that copy already, and is parsed once.
    std::string ascii(text);
    bool beyond = false;
    for (char& ch : ascii)
      if (static_cast<unsigned char>(ch) >= 0x80) ch = 'x', beyond = true;
    if (beyond) (void)toml::parse(ascii, file);
    root = toml::parse(text, file);
  } catch (const toml::parse_error& e) {
    error = "quorvelta-sim: " + file + ":" + std::to_string(e.source().begin.line) +
            ": syntax: " + std::string(e.description()) + "\n";
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
    loadSystem(s, w.system, w.faults);
  }
  {
    Section s = top.table("driver");
    loadDriver(s, w.driver, w.faults);
  }
  {
    Section s = top.table("radio");
    loadRadio(s, w.radio, w.faults);
  }
  {
    Section s = top.table("ip");
    loadIp(s, w.ip, w.faults);
  }
  {
    Section s = top.table("ui");
    loadUi(s, w.ui, w.faults);
  }
  if (!loader.failed()) checkWorld(top, w);
  top.done();
  if (loader.failed()) {
    error = loader.messages();
    return false;
  }
  if (warnings) *warnings = loader.warnings();
  out = std::move(w);
  return true;
}

}  // namespace sim
