// [ui]: window-system failures and the user's script.
#include "scenario/scenario.h"

namespace sim {

namespace {

constexpr int64_t MAX_EVENT_MS = 3'600'000;  // an hour of virtual time
constexpr int64_t MAX_PAINT_MS = 10'000;

bool actionNamed(const std::string& name, UiEvent::Action& out) {
  static const struct {
    const char* name;
    UiEvent::Action action;
  } NAMES[] = {{"press", UiEvent::Press},
               {"release", UiEvent::Release},
               {"tap", UiEvent::Tap},
               {"close", UiEvent::Close},
               {"timer", UiEvent::Timer},
               {"start", UiEvent::Start},
               {"message_error", UiEvent::MessageError},
               {"uncover", UiEvent::Uncover}};
  for (const auto& n : NAMES) {
    if (name == n.name) {
      out = n.action;
      return true;
    }
  }
  return false;
}

}  // namespace

void loadUi(Section& s, UiWorld& w, std::vector<Fault>& faults) {
  for (FaultCall c : {FaultCall::RegisterClass, FaultCall::CreateWindow})
    if (s.boolean(faultKind(c).key, false)) addFaults(faults, c, 0, {}, faultKind(c).answer);
  w.paintMs = uint32_t(s.integer("paint_ms", 0, 0, MAX_PAINT_MS));
  bool held = false;  // the stylus is down after the steps read so far
  int heldLine = 0;
  for (Section& e : s.tables("event")) {
    UiEvent ev;
    ev.line = e.line("action");
    if (!actionNamed(e.text("action", "tap"), ev.action)) {
      e.fail("action",
             "must be one of press, release, tap, close, timer, start, message_error, uncover");
    }
    ev.at = uint64_t(e.integer("at", 0, 0, MAX_EVENT_MS));
    ev.shown = e.wideText("shown", u"");
    bool point =
        ev.action == UiEvent::Press || ev.action == UiEvent::Release || ev.action == UiEvent::Tap;
    if (point) {
      if (!e.has("x") || !e.has("y")) e.fail("action", "a stylus step needs x and y");
      ev.x = uint32_t(e.integer("x", 0, 0, 0xFFFF));
      ev.y = uint32_t(e.integer("y", 0, 0, 0xFFFF));
    } else {
      for (const char* k : {"x", "y"})
        if (e.has(k)) e.fail(k, "only a press, release or tap has a point");
    }
    if (ev.action == UiEvent::Timer) {
      if (!e.has("id")) e.fail("action", "a timer step needs id");
      ev.timerId = uint32_t(e.integer("id", 0, 0, UINT32_MAX));
    } else if (e.has("id")) {
      e.fail("id", "only a timer step has an id");
    }
    e.done();
    // A stylus left down would keep the scroll timer running for ever.
    if (ev.action == UiEvent::Press || ev.action == UiEvent::Tap) {
      if (held) e.fail("action", "the stylus is already down: release it first");
      held = ev.action == UiEvent::Press;
      heldLine = ev.line;
    } else if (ev.action == UiEvent::Release) {
      held = false;
    }
    w.events.push_back(ev);
  }
  if (held) {
    s.fail("event", "the press on line " + std::to_string(heldLine) + " is never released");
  }
  s.done();
}

}  // namespace sim
