// Loading a scenario file (TOML) into the world.
#pragma once
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include "harness/text.h"
#include "scenario/world.h"

namespace sim {

class Loader;

// The most of anything a scenario may list: [[tables]] under one key, and
// entries of one array (docs/scenarios.md lists the limits).
constexpr size_t MAX_TABLES = 1024;
constexpr size_t MAX_ARRAY = 4096;

// One table of the scenario. Every key read is remembered; done() refuses
// any key that was not read. Every error of a load is reported, in the
// order of the lines (at most MAX_ERRORS): "FILE:LINE: key NAME: what is
// wrong".
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
  // An array of tables ([[key]]), at most `max` of them.
  std::vector<Section> tables(const char* key, size_t max = MAX_TABLES);
  // Every key of this table, for tables whose keys are data.
  std::vector<std::string> keys();
  const toml::node* node(const char* key);
  void fail(const char* key, const std::string& what);
  // A probable mistake that still makes a world: reported, not refused.
  void warn(const char* key, const std::string& what);
  void done();
  const std::string& path() const { return path_; }
  int line(const char* key) const;

 private:
  std::string name(const char* key) const { return path_.empty() ? key : path_ + "." + key; }
  const toml::table* table_;
  std::string path_;
  Loader* loader_;
  std::unordered_set<std::string> used_;
};

class Loader {
 public:
  static constexpr size_t MAX_ERRORS = 20;
  explicit Loader(std::string file) : file_(std::move(file)) {}
  void error(int line, const std::string& key, const std::string& what);
  void warning(int line, const std::string& key, const std::string& what);
  bool failed() const { return errors_ > 0; }
  // Every error, one line each, ordered by line; the count of those left out.
  std::string messages() const;
  std::string warnings() const;
  const std::string& file() const { return file_; }

  struct Message {
    int line;
    std::string text;
  };

 private:
  std::string file_;
  std::vector<Message> messages_, warnings_;
  size_t errors_ = 0;
};

// Parses `text` (named `file` in messages) into `out`. On failure answers
// false and leaves its messages in `error`, one line each; what is probably
// a mistake but still a world goes to `warnings` (when given), one line each.
// A UTF-8 byte-order mark at the start is skipped.
bool loadScenario(const std::string& text, const std::string& file, World& out, std::string& error,
                  std::string* warnings = nullptr);

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
// The SSID of a [[radio.network]] or [[ip.network]] as the radio carries
// it: `ssid` with each character one byte (ISO 8859-1, as the device's code
// page), or `ssid_bytes` as raw bytes; at most MAX_SSID_BYTES. Both sections
// read it so, and the IP stack finds a network by these bytes.
std::string loadSsid(Section& n);
// An SSID's bytes for a message: each byte the ISO 8859-1 character, in
// UTF-8; controls as \xNN.
std::string ssidForMessage(const std::string& bytes);
// Checks across sections, after everything is read.
void checkWorld(Section& root, World& w);

// The built-in default scenario.
extern const char* const DEFAULT_SCENARIO;

}  // namespace sim
