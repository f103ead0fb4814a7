// rankctl's options: the database, the action and its operands.
#include "server/rankctl/options.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "server/rankctl/describe.h"

namespace rankctl {

const char kUsage[] =
    "Usage: rankctl --db WHERE ACTION\n"
    "WHERE is rankd's SQLite file or postgresql:// URI. ACTION is one of:\n"
    "  list MODE [N]   the best N rows (20) of MODE (easy, normal, hardcore), hidden ones too:\n"
    "                  ID place name score stage combo seconds time flags, tab-separated;\n"
    "                  the place follows the servers' rule (--require-verified as last started)\n"
    "  hide ID         takes a row out of the rankings\n"
    "  restore ID      puts a hidden row back\n"
    "  remove ID       deletes a row and its kept replay for good\n"
    "  ban NAME        refuses the name's new scores and hides its rows\n"
    "  unban NAME      lifts the ban\n"
    "  backup FILE     a consistent copy of a SQLite database, while the server runs\n"
    "Exit status: 0 done, 1 no such ID or name, 2 bad usage, 3 database error,\n"
    "4 backup asked of PostgreSQL (use pg_dump).\n";

namespace {

bool ParseCount(const char* text, long long low, long long high, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return *text != 0 && *end == 0 && value >= low && value <= high;
}

ParseResult Bad(std::string& error, const std::string& reason) {
  error = reason;
  return ParseResult::Bad;
}

// The operands of an action whose count was checked.
ParseResult ReadOperands(const std::vector<std::string>& operands, RankctlOptions& options, std::string& error) {
  const std::string& action = options.action;
  if (action == "list") {
    options.mode = ParseMode(operands[0]);
    if (options.mode < 0) return Bad(error, "MODE is easy, normal or hardcore");
    if (operands.size() == 2 && !ParseCount(operands[1].c_str(), 1, 1'000'000, options.rows)) {
      return Bad(error, "N is a count from 1");
    }
  } else if (action == "hide" || action == "restore" || action == "remove") {
    if (!ParseCount(operands[0].c_str(), 1, INT64_MAX, options.id)) return Bad(error, "ID is a row's number");
  } else if (action == "ban" || action == "unban") {
    if (!NameCp949(operands[0], options.name)) {
      return Bad(error, "NAME is 1 to 9 bytes in the game's Korean code page");
    }
  } else if (action != "backup") {
    return Bad(error, "unknown action '" + action + "'");
  }
  return ParseResult::Run;
}

}  // namespace

ParseResult ParseRankctlOptions(int argc, const char* const* argv, RankctlOptions& options, std::string& error) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return ParseResult::Help;
  if (args.size() < 3 || args[0] != "--db" || args[1].empty()) return Bad(error, "give --db WHERE and an action");
  options.db = args[1];
  options.action = args[2];
  const std::vector<std::string> operands(args.begin() + 3, args.end());
  const bool listing = options.action == "list" && (operands.size() == 1 || operands.size() == 2);
  if (!listing && operands.size() != 1) {
    return Bad(error, "wrong number of operands for '" + options.action + "'");
  }
  options.operand = operands[0];
  return ReadOperands(operands, options, error);
}

}  // namespace rankctl
