#pragma once
// rankctl's command line: --db WHERE, an action and its operands, all checked before the
// database is opened.
#include <string>

#include "server/rankd/parse_result.h"

namespace rankctl {

using rankd::ParseResult;

struct RankctlOptions {
  std::string db;       // rankd's SQLite file or postgresql:// URI
  std::string action;   // list, hide, restore, remove, ban, unban or backup
  std::string operand;  // the first operand as given: MODE, ID, NAME or FILE
  int mode = -1;        // list: the difficulty
  long long rows = 20;  // list: how many rows
  long long id = 0;     // hide, restore, remove: the row
  std::string name;     // ban, unban: the name in code page 949
};

// Reads the arguments after the program name. Bad gives a one-line reason in `error`.
ParseResult ParseRankctlOptions(int argc, const char* const* argv, RankctlOptions& options, std::string& error);
// The text of --help.
extern const char kUsage[];

}  // namespace rankctl
