// The run's first lines: banner, clock, filter, NIC search and the survey.
#include <algorithm>
#include <cstdio>

#include "fromlog/reader.h"

namespace sim::fromlog {
namespace {

bool readClock(Cursor& c) {
  if (c.done()) return fail(c, "the log ends before the clock line");
  int mo, d, y, h, mi, s, gh, gm;
  char tail[8] = {0};
  const std::string& l = c.peek();
  if (std::sscanf(l.c_str(), "%d/%2d/%2d %d:%2d:%2d local, %d:%2d GMT%7s", &mo, &d, &y, &h, &mi, &s,
                  &gh, &gm, tail) != 8 ||
      gm != mi || l.empty() || l.back() != ' ' || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 ||
      h > 23 || mi > 59 || s > 59 || y < 0 || y > 99)
    return fail(c, "not a clock line");
  char again[64];
  std::snprintf(again, sizeof again, "%d/%02d/%02d %d:%02d:%02d local, %d:%02d GMT ", mo, d, y, h,
                mi, s, gh, gm);
  if (l != again) return fail(c, "not a clock line");
  Model& m = c.m;
  m.month = mo, m.day = d, m.year = 2000 + y, m.hour = h, m.minute = mi, m.second = s;
  if (gh < 0 || gh > 23) return fail(c, "not a clock line");
  // The GMT hour is shown within the day: the zone is known up to a whole
  // day, which changes nothing the log shows.
  m.biasHours = (gh - h + 24) % 24;
  if (m.biasHours > 12) m.biasHours -= 24;
  m.choices.push_back("the century (the clock line shows two digits): 20xx");
  m.choices.push_back(
      "the time zone: whole hours in bias alone, daylight_bias 0 (the log "
      "shows their sum, within a day)");
  c.at++;
  return true;
}

bool readNic(Cursor& c) {
  std::string rest;
  if (!c.done() && after(c.peek(), "-Working only with BSSID :", rest)) {
    c.m.commandLine = rest;
    c.at++;
  }
  if (c.done()) return fail(c, "the log ends before the NIC search");
  const std::string& l = c.peek();
  if (l == "-Searching for NDIS WLAN NIC.....") {
    c.at++;
    if (!expectLine(c, "Not found.")) return false;
    c.m.choices.push_back(
        "no 802.11 binding: the driver has none (the log shows only that none "
        "answered the adapter test)");
    return true;
  }
  if (l != "-Searching for NDIS WLAN NIC.....OK") return fail(c, "not the NIC search");
  c.at++;
  if (c.done() || !after(c.peek(), "Found : ", rest)) return fail(c, "expected \"Found : \"");
  c.m.nicFound = true;
  c.m.nicName = rest;
  c.at++;
  return true;
}

bool bssidText(const std::string& s, size_t p) {
  if (p + 17 > s.size()) return false;
  for (size_t k = 0; k < 17; k++) {
    char ch = s[p + k];
    bool ok = k % 3 == 2 ? ch == '.' : (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f');
    if (!ok) return false;
  }
  return true;
}

// The RSSI piece between the BSSID and the channel: six blanks, or " %2ddB".
bool rssiPiece(const std::string& piece, SeenNetwork& n) {
  if (piece == "      ") {
    n.rssiShown = false;
    return true;
  }
  if (piece.size() < 5 || piece[0] != ' ' || piece.substr(piece.size() - 2) != "dB") return false;
  std::string num = piece.substr(1, piece.size() - 3);
  long long v;
  if (!wholeNumber(num, v)) return false;
  char again[40];
  std::snprintf(again, sizeof again, " %2lld", v);
  if (std::string(again) + "dB" != piece || v <= -90) return false;
  n.rssiShown = true;
  n.rssi = v;
  return true;
}

bool surveyRow(const std::string& l, SeenNetwork& n) {
  size_t len = l.size();
  if (len < 17 + 6 + 5 + 1) return false;
  n.type = l[len - 1];
  if ((n.type != 'O' && n.type != 'W' && n.type != 'A') || l.compare(len - 4, 3, "ch ") != 0)
    return false;
  long long ch;
  if (!wholeNumber(l.substr(len - 6, 2), ch) || ch < 0 || ch > 13) return false;
  n.channel = int(ch);
  for (size_t p = len - 6 - 17 - 5 + 1; p-- > 0;) {
    if (!bssidText(l, p) || !rssiPiece(l.substr(p + 17, len - 6 - p - 17), n)) continue;
    n.bssid = l.substr(p, 17);
    std::string field = l.substr(0, p);
    if (field.size() < 14) return false;
    if (field.size() == 14)
      while (!field.empty() && field.back() == ' ') field.pop_back();
    n.ssid = field;
    return true;
  }
  return false;
}

// The row a survey line cut short began: its SSID, and a BSSID, RSSI,
// channel and type whose printed row starts with what the line shows
// (what it does not show: 02.00.00.00.00.00's digits, -60 dB, channel 6,
// open, where they fit). False when no row prints so.
bool cutRow(const std::string& shown, SeenNetwork& n) {
  const std::string bssidFill = "02.00.00.00.00.00";
  const char types[] = {'O', 'W', 'A'};
  for (size_t split = std::min<size_t>(shown.size(), 14); split <= shown.size() && split <= 32;
       split++) {
    std::string ssid = shown.substr(0, split);
    if (split <= 14)
      while (!ssid.empty() && ssid.back() == ' ') ssid.pop_back();
    std::string field = ssid;
    while (field.size() < 14) field += ' ';
    if (field.compare(0, std::min(field.size(), shown.size()), shown, 0,
                      std::min(field.size(), shown.size())) != 0)
      continue;
    std::string rest = shown.size() > field.size() ? shown.substr(field.size()) : "";
    std::string bssid = bssidFill;
    for (size_t k = 0; k < rest.size() && k < 17; k++) bssid[k] = rest[k];
    if (!bssidText(bssid, 0)) continue;
    // -60 first, then every RSSI a row shows (-89..99), then none shown
    // (NONE).
    constexpr long long NONE = 1000;
    for (int r = 0; r <= 190; r++) {
      const long long rssi = r == 0 ? -60 : r == 190 ? NONE : -90 + r;
      for (int ch = 0; ch <= 13; ch++) {
        const int channel = (ch + 6) % 14;
        for (char type : types) {
          char piece[24];
          if (rssi != NONE)
            std::snprintf(piece, sizeof piece,
                          " %2lld"
                          "dB%2dch %c",
                          rssi, channel, type);
          else
            std::snprintf(piece, sizeof piece, "      %2dch %c", channel, type);
          const std::string row = field + bssid + piece;
          if (row.compare(0, shown.size(), shown) != 0) continue;
          n.ssid = ssid, n.bssid = bssid, n.rssiShown = rssi != NONE, n.rssi = rssi;
          n.channel = channel, n.type = type, n.privacy = type == 'W';
          return true;
        }
      }
    }
  }
  return false;
}

bool readSurvey(Cursor& c) {
  if (c.done()) return fail(c, "the log ends before the scan");
  long long count;
  std::string rest;
  const std::string tail = " APs found:";
  if (!after(c.peek(), "-Scanning WLANs .... ", rest) || rest.size() <= tail.size() ||
      rest.substr(rest.size() - tail.size()) != tail ||
      !wholeNumber(rest.substr(0, rest.size() - tail.size()), count) || count < 0)
    return fail(c, "not the scan's line");
  c.m.itemsReported = count;
  c.at++;
  if (count == 0) return expectLine(c, "No networks available. Exiting...");
  if (!expectLine(c, "SSID          BSSID              RSSI CH WP")) return false;
  while (!c.done() && !startsWith(c.peek(), "-Current state.... ")) {
    SeenNetwork n;
    const bool last = c.atCutLine();
    // Cut between its CR and LF, the row is whole.
    std::string l = c.peek();
    if (last && !l.empty() && l.back() == '\r') l.pop_back();
    if (!surveyRow(l, n)) {
      // A row cut short: the made-up row prints what it shows.
      if (!last || !cutRow(l, n)) return fail(c, "not a survey row");
      c.m.choices.push_back("the survey row cut short: " + n.bssid + " and what it does not show");
    }
    c.m.networks.push_back(n);
    c.at++;
  }
  if (c.done()) {
    // Cut inside the survey: the rows after the cut are not in the log;
    // the scan's count says how many there were, and so many are made up.
    size_t rows = c.m.networks.size();
    if (count > (long long)rows && count <= 64) {
      for (long long k = 0; (long long)c.m.networks.size() < count; k++) {
        SeenNetwork n;
        char bssid[24];
        std::snprintf(bssid, sizeof bssid, "02.00.00.00.%02llx.%02llx", (k >> 8) & 255, k & 255);
        n.bssid = bssid;
        bool taken = false;
        for (const SeenNetwork& o : c.m.networks) taken |= o.bssid == n.bssid;
        if (taken) continue;
        n.ssid = "after the cut";
        n.rssiShown = true, n.rssi = -60, n.channel = 6;
        c.m.networks.push_back(n);
      }
      c.m.choices.push_back(
          "the survey rows after the cut: " + std::to_string(count - (long long)rows) + " made up");
    }
    return fail(c, "the log ends inside the survey");
  }
  const std::string& l = c.peek();
  if (l != "-Current state.... ASSOCIATED" && l != "-Current state.... DISSASSOCIATED")
    return fail(c, "not the current state");
  c.m.startAssociated = l == "-Current state.... ASSOCIATED";  // on which: the first node says
  c.at++;
  return true;
}

}  // namespace

bool readHead(Cursor& c) {
  if (!expectLine(c, "Olvash Quorvelta V0.18") || !expectLine(c, "======================") ||
      !readClock(c) || !readNic(c))
    return false;
  if (!c.m.nicFound) return true;
  if (!c.done() && startsWith(c.peek(), "NIC name too long (")) {
    c.at++;
    return true;
  }
  return readSurvey(c);
}

}  // namespace sim::fromlog
