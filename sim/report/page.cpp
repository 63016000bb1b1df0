// The report page: a summary, the timeline and the sweeps, the record
// panel, the screen at each verdict and at the end, the log.
#include <fstream>
#include <map>
#include <sstream>

#include "report/capture.h"
#include "report/lines.h"
#include "report/page_parts.h"
#include "report/records.h"
#include "report/report.h"
#include "report/timeline.h"
#include "scenario/world.h"
#include "screen/png_file.h"
#include "screen/winsys.h"

namespace sim {
namespace report {
namespace {

struct Refs {
  const std::vector<Record>& trace;
  const std::vector<ConsoleLine>& console;
  std::vector<std::string> json;
  std::map<int, int> byRecord, byLine;
  int of(const Mark& m) {
    if (m.record >= 0) {
      auto [at, added] = byRecord.emplace(m.record, int(json.size()));
      if (added) json.push_back(trace[size_t(m.record)].raw);
      return at->second;
    }
    if (m.line >= 0) {
      auto [at, added] = byLine.emplace(m.line, int(json.size()));
      const ConsoleLine& l = console[size_t(m.line)];
      if (added)
        json.push_back("{\"t\":" + std::to_string(l.t) + ",\"thread\":" + std::to_string(l.thread) +
                       ",\"console\":" + jsonString(l.text) + "}");
      return at->second;
    }
    return -1;
  }
};

std::string figure(const std::string& png, const std::string& caption) {
  return "<figure><img alt=\"the device screen\" src=\"data:image/png;base64," + base64(png) +
         "\"><figcaption>" + escapeHtml(caption) + "</figcaption></figure>";
}

std::string framesSection() {
  std::string s = "<h2>The screen at each verdict and at the end</h2><div class=\"frames\">";
  int shown = 0;
  for (const ConsoleLine& l : capture().lines) {
    if (!l.verdict || l.png.empty()) continue;
    s += figure(l.png, std::to_string(l.t) + " ms: " + l.text);
    shown++;
  }
  Frame f;
  std::string png;
  if (lastFrame(f) && encodePng(f.width, f.height, f.rgb, png)) {
    s += figure(png, "at the end of the run");
    shown++;
  }
  if (!shown) s += "<p>No window was painted.</p>";
  return s + "</div>";
}

std::string logSection(const std::string& logPath) {
  std::ifstream in(logPath, std::ios::binary);
  if (!in) return "<h2>The log</h2><p>No log was written (" + escapeHtml(logPath) + ").</p>";
  std::stringstream ss;
  ss << in.rdbuf();
  std::vector<std::string> lines = logLines(ss.str());
  std::vector<LineKind> kinds = classifyLines(lines);
  std::string s = "<h2>The log</h2><pre class=\"log\">";
  for (size_t i = 0; i < lines.size(); i++) {
    const char* cls =
        kinds[i] == LineKind::Verdict
            ? (lines[i].find("Exiting OK") != std::string::npos ? "verdict success" : "verdict")
        : kinds[i] == LineKind::Cause ? "cause"
                                      : nullptr;
    std::string text = escapeHtml(lines[i]);
    s += cls ? "<span class=\"" + std::string(cls) + "\">" + text + "</span>\n" : text + "\n";
  }
  return s + "</pre>";
}

std::string legend() {
  return "<p class=\"legend\"><span><i class=\"ok\"></i>request answered</span>"
         "<span><i class=\"fail\"></i>refused or failed</span>"
         "<span><i class=\"wait\"></i>association poll, not yet on the network</span>"
         "<span><i class=\"answered\"></i>probe answered</span>"
         "<span><i class=\"error\"></i>error report</span>"
         "<span><i class=\"noanswer\"></i>no answer</span>"
         "<span><i class=\"unprobed\"></i>not probed</span></p>";
}

}  // namespace
}  // namespace report

bool writeReport(const std::string& path, const std::string& tracePath, const std::string& logPath,
                 std::string& error) {
  using namespace report;
  std::vector<Record> trace;
  if (!readTrace(tracePath, trace, error)) return false;
  const std::vector<ConsoleLine>& console = capture().lines;
  Timeline tl = buildTimeline(trace, console);
  Refs refs{trace, console, {}, {}, {}};
  MarkRef ref = [&](const Mark& m) { return refs.of(m); };

  std::string timeline = timelineSvg(tl, ref);
  std::string sweeps;
  std::map<std::string, int> outcomes;
  for (size_t i = 0; i < tl.sweeps.size(); i++) {
    const Sweep& s = tl.sweeps[i];
    std::map<std::string, int> n;
    for (const Mark& m : s.probes) n[m.kind]++, outcomes[m.kind]++;
    sweeps += "<h2>Sweep " + std::to_string(i + 1) + ": " + std::to_string(s.start) + " to " +
              std::to_string(s.end) + " ms, " + std::to_string(s.probes.size()) +
              " probes (answered " + std::to_string(n["answered"]) + ", error report " +
              std::to_string(n["error"]) + ", no answer " + std::to_string(n["noanswer"]) +
              ", not probed " + std::to_string(n["unprobed"]) + ")</h2>";
    sweeps += sweepSvg(s, i + 1, ref);
  }
  int verdicts = 0;
  for (const ConsoleLine& l : console) verdicts += l.verdict;

  std::string records;
  for (size_t i = 0; i < refs.json.size(); i++) records += (i ? ",\n" : "") + refs.json[i];

  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<title>Quorvelta run report</title><style>" +
      std::string(PAGE_STYLE) + "</style></head><body>\n<h1>Quorvelta run report</h1>" +
      "<p class=\"summary\">Scenario: " +
      escapeHtml(world.file.empty() ? "(built-in default)" : world.file) + ". Device time 0 to " +
      std::to_string(tl.end) + " ms; " + std::to_string(trace.size()) + " requests, " +
      std::to_string(verdicts) + " verdicts, " + std::to_string(tl.sweeps.size()) +
      " sweeps. Hover over or tap a mark to see its "
      "record.</p>" +
      legend() + "<h2>Timeline (device time)</h2>" + timeline + sweeps +
      "<div id=\"record\">Hover over or tap a mark: its trace record shows here.</div>" +
      report::framesSection() + report::logSection(logPath) +
      "\n<script type=\"application/json\" id=\"records\">[" + scriptSafe(records) +
      "]</script>\n<script>" + PAGE_SCRIPT + "</script>\n</body></html>\n";

  std::ofstream out(path, std::ios::binary);
  if (!out || !(out << page) || !(out.flush())) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sim
