// Loading a scenario: the guard against stray characters, the TOML parse,
// one loader per section, the checks across sections.
#include <string_view>

#include "scenario/scenario.h"

namespace sim {

World world;

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
    error = loader.messages();
    return false;
  }
  if (warnings) *warnings = loader.warnings();
  out = std::move(w);
  return true;
}

}  // namespace sim
