// The harness's side of the headless window system: the user's script,
// the idle tap and the picture of the screen.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace sim {

// Schedules the steps of world.ui.events. startProgram runs the program
// once more, as a second instance started from the shell; it is called on
// a thread of its own and answers the instance's exit code.
void scheduleUiScript(std::function<int()> startProgram);

// The scheduler's idle hook: when every thread left waits for a window
// message and nothing is scheduled, the user taps the middle of the window
// once (press and release). Answers false when it did nothing: a thread is
// stuck elsewhere, a script step waits for text that never showed, or the
// tap has been made already.
bool uiIdle();

// The last painted frame of any window: 8-bit RGB, rows top to bottom.
struct Frame {
  int width = 0;
  int height = 0;
  const uint8_t* rgb = nullptr;
};
// The pixels are drawn when this asks for them (the calls of each paint
// are kept until then), so a caller that only wants the text pays nothing.
bool lastFrame(Frame& out);
// Called at the end of every paint with the text that paint drew; the
// frame itself is lastFrame's (null: nobody is told).
using PaintTap = void (*)(const std::u16string& text);
void setPaintTap(PaintTap tap);
// Writes the last painted frame as PNG; false with a reason when nothing
// was painted or the file cannot be written.
bool writeScreenshot(const std::string& path, std::string& error);

}  // namespace sim
