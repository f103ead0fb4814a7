#pragma once
// What the web side serves: the rankings as JSON and as one HTML page, built from the
// rows the store lists. Names are code page 949 and may hold any bytes a database holds.
#include <string>
#include <vector>

#include "server/rankd/store.h"

namespace rankd {

// {"mode":0,"rows":[{"place":1,"name":"...","score":...,"stage":...,"combo":...,
// "seconds":...,"time":"2026-12-08T07:21:13Z","verified":false,"suspect":false,
// "before_checks":false},...]}; a row without a time has "time":null. "before_checks": only
// verified scores rank, but this one ranks unchecked, kept before that rule began.
std::string RankingsJson(int mode, const std::vector<ListedScore>& rows);
// The page of all three difficulties, readable without script and on a phone.
std::string RankingsPage(const std::vector<ListedScore> (&modes)[kModes]);

// A name as UTF-8 (bytes that are no code page 949 become U+FFFD), escaped for JSON
// (controls as \u00XX) or for HTML text and attributes (controls shown as '?').
std::string JsonName(const std::string& cp949);
std::string HtmlName(const std::string& cp949);

}  // namespace rankd
