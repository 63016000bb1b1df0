#include "fromlog/fromlog.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "fromlog/reader.h"
#include "scenario/scenario.h"

namespace sim::fromlog {

bool scenarioFromLog(const std::string& log, std::string& scenario, std::string& summary,
                     std::string& error) {
  Model m;
  if (log.empty()) {
    // Nothing was written: the run never started.
    m.nicFound = false;
    m.noRun = true;
    m.choices.push_back(
        "an empty log: the run's thread could not be started (the first "
        "thread start fails)");
  } else if (!readLog(log, m, error)) {
    return false;
  }
  scenario = writeScenario(m);
  // What the log says must make a world: a value the reader lets through
  // that the loader refuses is a corrupted log too, and nothing is written.
  World world;
  std::string refused;
  if (!loadScenario(scenario, "from-log.toml", world, refused)) {
    error = "the log's values make no world: " + refused.substr(0, refused.find('\n'));
    scenario.clear();
    return false;
  }
  int joined = 0;
  for (const SeenNetwork& n : m.networks) joined += n.joinPolls > 0;
  summary = "read " + std::to_string(m.networks.size()) + " networks (" + std::to_string(joined) +
            " joined), " + std::to_string(m.ipNetworks.size()) + " IP networks" +
            (m.complete ? "" : ", a log cut short") + "; chose " +
            std::to_string(m.choices.size()) + " values the log does not show";
  if (!m.inferred.empty())
    summary += "; not made again exactly: " + std::to_string(m.inferred.size()) + " (" +
               m.inferred[0].second + (m.inferred.size() > 1 ? ", ..." : "") + ")";
  return true;
}

int fromLogMain(const std::string& logPath, const std::string& outPath) {
  std::ifstream in(logPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "quorvelta-sim: cannot read %s\n", logPath.c_str());
    return 2;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  std::string scenario, summary, error;
  if (!scenarioFromLog(ss.str(), scenario, summary, error)) {
    std::fprintf(stderr, "quorvelta-sim: %s: not a log this program wrote, or corrupted: %s\n",
                 logPath.c_str(), error.c_str());
    return 2;
  }
  std::ofstream out(outPath, std::ios::binary);
  if (!out || !(out << scenario) || !(out.flush())) {
    std::fprintf(stderr, "quorvelta-sim: cannot write %s\n", outPath.c_str());
    return 2;
  }
  std::printf("%s: %s\n", outPath.c_str(), summary.c_str());
  return 0;
}

}  // namespace sim::fromlog
