// The simulated handheld's world: everything a scenario file describes.
// One section per part of the device; each is filled by the scenario loader
// and then read and changed only by the platform back end that models it.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scenario/fault.h"
#include "scenario/world_ip.h"
#include "scenario/world_radio.h"
#include "scenario/world_ui.h"

namespace sim {

struct ClockWorld {
  // Local time at the start of the run.
  int year = 2026, month = 12, day = 7, hour = 9, minute = 30, second = 0;
  int32_t bias = 0;  // minutes, UTC = local + bias
  int32_t standardBias = 0;
  int32_t daylightBias = 0;  // minutes
  bool daylight = false;     // daylight time in effect
};

struct Binding {
  uint32_t index = 0;
  std::u16string deviceName;
  std::u16string description;
  bool acceptsScan = false;  // an 802.11 adapter
  // Hostile replies: a DeviceNameLength / DeviceNameOffset other than the
  // truth (-1: the truth).
  int64_t nameLength = -1;
  int64_t nameOffset = -1;
};

struct DriverWorld {
  // The last error of an open that fails: of "UIO1:" when the driver does
  // not open (driver.opens = false, a fault), of any other name always.
  uint32_t openError = 2;  // ERROR_FILE_NOT_FOUND
  std::vector<Binding> bindings;
};

struct SystemWorld {
  std::u16string commandLine;
  bool tempExists = true;                       // "\Temp" on the device
  std::map<uint32_t, std::u16string> messages;  // system message texts
  uint32_t maxThreads = 0;                      // 0: no limit
  // Preemption: a thread that releases a lock gives way for a millisecond
  // with this chance (percent), drawn from a stream seeded with
  // preemptSeed, so that other interleavings can be tried and replayed.
  uint32_t preemptPercent = 0;
  uint64_t preemptSeed = 1;  // the run's seed: every seeded choice of the run
  // Switch points: at every platform request the calling thread gives way
  // with this chance (percent), drawn from the same stream.
  uint32_t switchPercent = 0;
};

struct World {
  std::string file;  // where it was loaded from, for messages
  ClockWorld clock;
  SystemWorld system;
  DriverWorld driver;
  RadioWorld radio;
  IpWorld ip;
  UiWorld ui;
  // Every failure the scenario switches on, in the file's order (fault.h).
  std::vector<Fault> faults;
};

extern World world;

}  // namespace sim
