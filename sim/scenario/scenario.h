// Loading a scenario file (TOML) into the world.
#pragma once
#include <optional>
#include <string>
#include <vector>

#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include "harness/text.h"
#include "scenario/world.h"

namespace sim {

class Loader;

// One table of the scenario. Every key read is remembered; done() refuses
// any key that was not read. The first error of a load is the one reported:
// "FILE:LINE: key NAME: what is wrong".
class Section {
 public:
  Section(const toml::table* table, std::string path, Loader* loader)
      : table_(table), path_(std::move(path)), loader_(loader) {}

  bool has(const char* key) const;
  int64_t integer(const char* key, int64_t fallback, int64_t min, int64_t max);
  bool boolean(const char* key, bool fallback);
  std::string text(const char* key, const std::string& fallback);
  std::u16string wideText(const char* key, const std::u16string& fallback);
  std::vector<int64_t> integers(const char* key, int64_t min, int64_t max);
  std::vector<std::string> texts(const char* key);
  // A sub-table; an absent key gives an empty section.
  Section table(const char* key);
  // An array of tables ([[key]]).
  std::vector<Section> tables(const char* key);
  // Every key of this table, for tables whose keys are data.
  std::vector<std::string> keys();
  const toml::node* node(const char* key);
  void fail(const char* key, const std::string& what);
  void done();
  const std::string& path() const { return path_; }
  int line(const char* key) const;

 private:
  std::string name(const char* key) const { return path_.empty() ? key : path_ + "." + key; }
  const toml::table* table_;
  std::string path_;
  Loader* loader_;
  std::vector<std::string> used_;
};

class Loader {
 public:
  explicit Loader(std::string file) : file_(std::move(file)) {}
  void error(int line, const std::string& key, const std::string& what);
  bool failed() const { return !message_.empty(); }
  const std::string& message() const { return message_; }
  const std::string& file() const { return file_; }

 private:
  std::string file_;
  std::string message_;
};

// Parses `text` (named `file` in messages) into `out`. On failure answers
// false and leaves one message in `error`.
bool loadScenario(const std::string& text, const std::string& file, World& out, std::string& error);

// The line of the first character beyond ASCII that is neither in a string
// value nor in a comment (0: none); such text is refused before parsing.
int strayCharacterLine(const std::string& text);

// The sections of the world, each in a file of its own. The faults a
// section switches on are added to `faults`, in the file's order.
void loadClock(Section& s, ClockWorld& w);
void loadSystem(Section& s, SystemWorld& w, std::vector<Fault>& faults);
void loadDriver(Section& s, DriverWorld& w, std::vector<Fault>& faults);
void loadRadio(Section& s, RadioWorld& w, std::vector<Fault>& faults);
void loadIp(Section& s, IpWorld& w, std::vector<Fault>& faults);
void loadUi(Section& s, UiWorld& w, std::vector<Fault>& faults);

// Faults of `call` on `target` answering `answer`: one per occurrence
// listed (1-based), or, with none listed, one for every call.
void addFaults(std::vector<Fault>& faults, FaultCall call, uint32_t target,
               const std::vector<int64_t>& occurrences, uint32_t answer);
// The occurrences listed under the key of `call` (FAULT_KINDS), 1-based.
std::vector<int64_t> faultOccurrences(Section& s, FaultCall call, int64_t most = INT32_MAX);
// A call-list key read whole: its occurrences, each a fault answering `answer`.
void loadCallFaults(Section& s, FaultCall call, uint32_t answer, std::vector<Fault>& faults);
// Checks across sections, after everything is read.
void checkWorld(Section& root, World& w);

// The built-in default scenario.
extern const char* const DEFAULT_SCENARIO;

}  // namespace sim
