// The rankings as JSON and HTML.
#include "server/rankd/web_page.h"

#include <cstdio>

#include "text/cp949.h"
#include "text/texts.h"

namespace rankd {
namespace {

std::string Utf8(const std::string& cp949) {
  // A byte becomes at most one three-byte character (U+FFFD for a bad one).
  std::string out(cp949.size() * 3 + 1, '\0');
  out.resize(Cp949ToUtf8(cp949.data(), cp949.size(), out.data(), out.size()));
  return out;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void Number(std::string& out, long long value) { out += std::to_string(value); }

const char* const kModeNames[kModes] = {kEasyModeName, kNormalModeName, kHardcoreModeName};

// Play time as the page shows it: 75 -> 1:15, 3725 -> 1:02:05.
std::string Duration(uint32_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%u:%02u", seconds / 60, seconds % 60);
  }
  return text;
}

constexpr const char* kPageHead =
    "<!DOCTYPE html>\n<html lang=\"ko\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>Brakkel rankings</title>\n<style>\n"
    "body{font-family:sans-serif;margin:0 auto;max-width:60em;padding:0.5em;color:#222;background:#fdfcf7}\n"
    "h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.5em}\n"
    ".rows{overflow-x:auto}table{border-collapse:collapse;width:100%}\n"
    "th,td{padding:0.3em 0.5em;border-bottom:1px solid #ddd;white-space:nowrap}\n"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}th{text-align:left;background:#eee}\n"
    "td.name{white-space:pre}\n"
    "@media (max-width:30em){th,td{padding:0.25em 0.3em;font-size:0.9em}}\n"
    "</style>\n</head>\n<body>\n<h1>Brakkel rankings</h1>\n"
    "<p>The twenty best games of each difficulty. &#10003; marks a score its replay confirmed.</p>\n";

}  // namespace

std::string ReplayPath(long long id) { return "/replays/" + std::to_string(id); }

const char* ModeWord(int mode) {
  static constexpr const char* kWords[kModes] = {"easy", "normal", "hardcore"};
  return mode >= 0 && mode < kModes ? kWords[mode] : "unknown";
}

std::string ReplayFileName(const KeptReplay& kept) {
  const int place = kept.place;
  const int tens = place % 100 / 10;
  const int ones = place % 10;
  const char* suffix = tens != 1 && ones == 1   ? "st"
                       : tens != 1 && ones == 2 ? "nd"
                       : tens != 1 && ones == 3 ? "rd"
                                                : "th";
  return "brakkel-" + std::string(ModeWord(kept.score.mode)) + "-" + std::to_string(place) + suffix + "-" +
         std::to_string(kept.score.score) + ".replay";
}

std::string JsonName(const std::string& cp949) {
  std::string out;
  for (const char ch : Utf8(cp949)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (IsControl(c)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out;
}

std::string HtmlName(const std::string& cp949) {
  std::string out;
  for (const char ch : Utf8(cp949)) {
    switch (ch) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += IsControl(static_cast<unsigned char>(ch)) ? '?' : ch;
    }
  }
  return out;
}

std::string RankingsJson(int mode, const std::vector<ListedScore>& rows) {
  std::string out = "{\"mode\":" + std::to_string(mode) + ",\"rows\":[";
  int place = 0;
  for (const ListedScore& row : rows) {
    const Score& s = row.score;
    if (place > 0) out += ',';
    out += "{\"place\":";
    Number(out, ++place);
    out += ",\"name\":\"" + JsonName(s.name) + "\",\"score\":";
    Number(out, s.score);
    out += ",\"stage\":";
    Number(out, s.stage);
    out += ",\"combo\":";
    Number(out, s.bestCombo);
    out += ",\"seconds\":";
    Number(out, s.playSeconds);
    // The time comes from the database in a fixed form of digits, '-', ':', 'T' and 'Z'.
    out += row.storedAt.empty() ? ",\"time\":null" : ",\"time\":\"" + row.storedAt + "\"";
    out += row.replay ? ",\"replay\":\"" + ReplayPath(row.id) + "\"" : ",\"replay\":null";
    out += row.verified ? ",\"verified\":true" : ",\"verified\":false";
    out += row.suspect ? ",\"suspect\":true" : ",\"suspect\":false";
    out += row.beforeChecks ? ",\"before_checks\":true}" : ",\"before_checks\":false}";
  }
  out += "]}";
  return out;
}

std::string RankingsPage(const std::vector<ListedScore> (&modes)[kModes]) {
  std::string out = kPageHead;
  for (int mode = 0; mode < kModes; ++mode) {
    out += "<h2 id=\"mode" + std::to_string(mode) + "\">" + HtmlName(kModeNames[mode]) + "</h2>\n";
    if (modes[mode].empty()) {
      out += "<p>No games yet.</p>\n";
      continue;
    }
    out +=
        "<div class=\"rows\"><table>\n<tr><th>Place</th><th>Name</th><th>Score</th><th>Stage</th>"
        "<th>Combo</th><th>Play time</th><th>When (UTC)</th><th>Replay</th></tr>\n";
    int place = 0;
    for (const ListedScore& row : modes[mode]) {
      const Score& s = row.score;
      out += "<tr><td class=\"n\">" + std::to_string(++place) + "</td><td class=\"name\">" + HtmlName(s.name) +
             "</td><td class=\"n\">" + std::to_string(s.score) + "</td><td class=\"n\">" + std::to_string(s.stage) +
             "</td><td class=\"n\">" + std::to_string(s.bestCombo) + "</td><td class=\"n\">" + Duration(s.playSeconds) +
             "</td><td>";
      // 2026-12-08T07:21:13Z shows as 2026-12-08 07:21 and is kept whole for machines.
      if (row.storedAt.size() >= 16) {
        out += "<time datetime=\"" + row.storedAt + "\">" + row.storedAt.substr(0, 10) + " " +
               row.storedAt.substr(11, 5) + "</time>";
      }
      if (row.verified && row.replay) {
        out += "</td><td title=\"replay confirmed\">&#10003; <a href=\"" + ReplayPath(row.id) +
               "\" download>replay</a></td></tr>\n";
        continue;
      }
      out += row.verified       ? "</td><td title=\"replay confirmed\">&#10003;</td></tr>\n"
             : row.suspect      ? "</td><td title=\"replay missing or not matching\">suspect</td></tr>\n"
             : row.beforeChecks ? "</td><td title=\"kept before replays were required\">not checked</td></tr>\n"
                                : "</td><td></td></tr>\n";
    }
    out += "</table></div>\n";
  }
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace rankd
