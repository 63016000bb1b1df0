// What the harness sets up around the simulated process.
#pragma once
#include <string>

namespace sim {

struct Host {
  std::string root = ".";    // the device's file system root
  bool echo = true;          // echo the debug channel (the console) to stdout
  std::u16string debugText;  // everything sent to the debug channel
  // Also handed each piece sent to the debug channel, when set (the run
  // report's record of the console on device time).
  void (*debugTap)(const char16_t* text) = nullptr;
  int createThreadCalls = 0;
  int allocateCalls = 0;
  int fileOpenCalls = 0;
  int textConversionCalls = 0;
  int fileTimeCalls = 0;
  // Blocks the program holds now: allocate and FormatMessage's buffers,
  // less those released (a leak shows as a count that only grows).
  int liveBlocks = 0;
};
extern Host host;

// Maps a device path ("\Temp\Quorvelta.log") into the root folder.
std::string hostPath(const char16_t* devicePath);

}  // namespace sim
