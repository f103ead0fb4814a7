#pragma once
// What the web side serves: the rankings as JSON and as one HTML page, built from the
// rows the store lists. Names are code page 949 and may hold any bytes a database holds.
#include <string>
#include <vector>

#include "server/rankd/store.h"

namespace rankd {

// {"mode":0,"rows":[{"place":1,"name":"...","score":...,"stage":...,"combo":...,
// "seconds":...,"time":"2026-12-08T07:21:13Z","replay":"/replays/17","verified":true,
// "suspect":false,"before_checks":false},...]}; a row without a time has "time":null, one
// without a kept replay "replay":null. "before_checks": only
// verified scores rank, but this one ranks unchecked, kept before that rule began.
std::string RankingsJson(int mode, const std::vector<ListedScore>& rows);
// The page of all three difficulties, readable without script and on a phone.
std::string RankingsPage(const std::vector<ListedScore> (&modes)[kModes]);

// Where the web side serves a row's kept replay: /replays/ID.
std::string ReplayPath(long long id);
// The name a downloaded replay gets, ASCII only: brakkel-normal-3rd-123456.replay (the
// difficulty, the place in its listing and the score).
std::string ReplayFileName(const KeptReplay& kept);

// A name as UTF-8 (bytes that are no code page 949 become U+FFFD), escaped for JSON
// (controls as \u00XX) or for HTML text and attributes (controls shown as '?').
std::string JsonName(const std::string& cp949);
std::string HtmlName(const std::string& cp949);

}  // namespace rankd
