// What the harness sets up around the simulated process.
#pragma once
#include <string>
#include <vector>

namespace sim {

struct Host {
  std::string root = ".";            // the device's file system root
  bool echo = true;                  // echo the debug channel (the console) to stdout
  int echoError = 0;                 // errno of the write that ended the echo (0: none)
  std::u16string debugText;          // everything sent to the debug channel
  std::string userEnding;            // the user's last act that can end a run ("WM_CLOSE", ...)
  std::vector<std::string> written;  // host paths of the device files opened
  // Also handed each piece sent to the debug channel, when set (the run
  // report's record of the console on device time).
  void (*debugTap)(const char16_t* text) = nullptr;
  // Blocks the program holds now: allocate and FormatMessage's buffers,
  // less those released (a leak shows as a count that only grows).
  int liveBlocks = 0;
};
extern Host host;

// Maps a device path ("\Temp\Quorvelta.log") into the root folder.
std::string hostPath(const char16_t* devicePath);

}  // namespace sim
