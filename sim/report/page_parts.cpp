#include "report/page_parts.h"

#include <cstdio>

namespace sim::report {

std::string base64(const std::string& bytes) {
  static const char* const A = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = unsigned((unsigned char)bytes[i]) << 16 |
                 unsigned((unsigned char)bytes[i + 1]) << 8 | (unsigned char)bytes[i + 2];
    out += A[v >> 18];
    out += A[(v >> 12) & 63];
    out += A[(v >> 6) & 63];
    out += A[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = unsigned((unsigned char)bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= unsigned((unsigned char)bytes[i + 1]) << 8;
    out += A[v >> 18];
    out += A[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? A[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string scriptSafe(const std::string& json) {
  std::string out;
  for (size_t i = 0; i < json.size(); i++) {
    if (json[i] == '<' && i + 1 < json.size() && json[i + 1] == '/') {
      out += "<\\/";
      i++;
    } else {
      out += json[i];
    }
  }
  return out;
}

std::vector<std::string> logLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (size_t i = 0; i < bytes.size(); i++) {
    unsigned char c = (unsigned char)bytes[i];
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      continue;
    }
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    open = true;
    if (c < 0x80) {
      line += char(c);
    } else {
      line += char(0xC0 | (c >> 6));
      line += char(0x80 | (c & 0x3F));
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

const char* const PAGE_STYLE = R"(
body { font: 13px/1.4 sans-serif; margin: 16px 24px 240px; color: #222; background: #fafafa; }
h1 { font-size: 20px; margin: 0 0 4px; } h2 { font-size: 15px; margin: 22px 0 6px; }
.summary { color: #555; } .legend span { display: inline-block; margin-right: 14px; }
.legend i { display: inline-block; width: 12px; height: 12px; margin-right: 4px; vertical-align: -2px; }
svg { background: #fff; border: 1px solid #ddd; display: block; margin-bottom: 8px; }
svg text { font: 11px sans-serif; fill: #333; }
text.lane { font-weight: bold; } text.tick { fill: #888; text-anchor: middle; }
text.mark-label { fill: #555; font-size: 10px; }
line.grid { stroke: #eee; } line.lane-line { stroke: #ccc; }
rect.mark { cursor: pointer; } rect.mark:hover, rect.mark.shown { stroke: #000; stroke-width: 1; }
.ok, i.ok { fill: #3a8f3a; background: #3a8f3a; } .fail, i.fail { fill: #c33; background: #c33; }
.wait, i.wait { fill: #e0a020; background: #e0a020; } .request { fill: #2a6ab0; }
.sweep { fill: #c8d8f0; } .renewing { fill: #cfe8cf; }
.answered, i.answered { fill: #1b9e3e; background: #1b9e3e; }
.error, i.error { fill: #e07000; background: #e07000; }
.noanswer, i.noanswer { fill: #b8b8b8; background: #b8b8b8; }
.unprobed, i.unprobed { fill: #7030a0; background: #7030a0; }
line.verdict-line { stroke: #c33; stroke-dasharray: 3 3; } line.verdict-line.success { stroke: #1b9e3e; }
text.verdict-label { fill: #c33; font-weight: bold; cursor: pointer; }
text.verdict-label.success { fill: #1b9e3e; }
#record { position: fixed; right: 12px; bottom: 12px; width: 430px; min-height: 60px; max-height: 220px;
  overflow: auto; background: #fffbe6; border: 1px solid #d8c060; padding: 6px 8px;
  font: 12px monospace; white-space: pre-wrap; box-shadow: 0 2px 6px rgba(0,0,0,.2); }
.frames { display: flex; flex-wrap: wrap; gap: 14px; }
figure { margin: 0; } figure img { border: 1px solid #999; image-rendering: pixelated; width: 220px; }
figcaption { width: 220px; font-size: 11px; color: #444; }
pre.log { background: #fff; border: 1px solid #ddd; padding: 8px; font: 12px monospace; }
pre.log .verdict { background: #fdd; font-weight: bold; } pre.log .cause { background: #fff0d8; }
pre.log .success { background: #d8f5d8; font-weight: bold; }
)";

// Hovering or tapping anything with data-r shows its record in the panel.
const char* const PAGE_SCRIPT = R"(
(function () {
  var records = JSON.parse(document.getElementById('records').textContent);
  var panel = document.getElementById('record');
  var shown = null;
  function show(event) {
    var target = event.target;
    var el = target && target.closest ? target.closest('[data-r]') : null;
    if (!el) return;
    var r = records[Number(el.getAttribute('data-r'))];
    if (!r) return;
    if (shown) shown.classList.remove('shown');
    shown = el;
    el.classList.add('shown');
    panel.textContent = Object.keys(r).map(function (k) {
      return k + ': ' + JSON.stringify(r[k]);
    }).join('\n');
  }
  document.addEventListener('mouseover', show);
  document.addEventListener('click', show);
})();
)";

}  // namespace sim::report
