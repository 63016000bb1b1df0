// quorvelta-sim --from-log FIELD.log --scenario-out WORLD.toml: a device
// log back into a scenario that prints it again.
#pragma once
#include <string>

#include "fromlog/model.h"

namespace sim::fromlog {

// The scenario text for a log, with the one-line summary of what was read
// and what was chosen; false with an error naming the first line that could
// not be placed.
bool scenarioFromLog(const std::string& log, std::string& scenario, std::string& summary,
                     std::string& error);

// The scenario text of a model (writer.cpp).
std::string writeScenario(const Model& m);

// The command line's part: reads `logPath`, writes `outPath` only when the
// whole log was placed. Answers the exit code (0, or 2 with a message).
int fromLogMain(const std::string& logPath, const std::string& outPath);

}  // namespace sim::fromlog
