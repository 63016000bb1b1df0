// The command line of quorvelta-sim: its options, their help and the
// strict reading of them (every value checked, nothing ignored).
#pragma once

#include <string>

#include "explore/explore.h"
#include "harness/run.h"

namespace sim {

struct Options {
  std::string scenarioFile, screenshotPath;
  std::string reportPath;  // --report: the run's page (report/report.h)
  sim::RunSetup run;
  bool reuseRoot = false;
  bool commandLineGiven = false;
  std::u16string commandLine;
  sim::ExploreOptions explore;
  bool exploring = false;
  unsigned long long worldOfRun = 0;
  bool helpAsked = false, versionAsked = false;
  std::string fromLog, scenarioOut;  // --from-log, --scenario-out
};

// Reads the command line into o; answers -1 to go on, else the exit code
// (after --help or --version 0, after a refusal 2, its message written).
int parseOptions(int argc, char** argv, Options& o);
// Writes why a command line is refused; answers the exit code (2).
int refuse(const std::string& why);

}  // namespace sim
