#pragma once
// How rankctl names difficulties and shows rows: names as UTF-8, one row a line.
#include <string>

#include "server/rankctl/admin.h"

namespace rankctl {

// "easy", "normal" or "hardcore" (or 0, 1, 2) as a mode; -1 for anything else.
int ParseMode(const std::string& text);
const char* ModeWord(int mode);
// A code page 949 name as UTF-8 (bad bytes as U+FFFD; tabs and line ends as '?', so a
// listed row stays one line of its columns).
std::string NameUtf8(const std::string& cp949);
// A UTF-8 name as the game keeps it; false when it is not 1 to 9 bytes of code page 949
// without control bytes.
bool NameCp949(const std::string& utf8, std::string& cp949);
// "normal, 닭, 12345": which row a change touched, for the log lines.
std::string DescribeRow(const rankd::Score& row);
// One line of `list`: ID place name score stage combo seconds time flags, tab-separated;
// place is the row's place in the served listing, "-" for a row not listed. The flags:
// hidden, banned, the replay's mark (verified, suspect, unchecked: it came but was not
// played) and, while only verified scores rank, before-checks for a row kept before then.
std::string ListLine(const AdminRow& row, int place, bool onlyVerified);

}  // namespace rankctl
