#include "game/rule_book.h"

bool RulesOfVersion(uint32_t version, RuleBook& rules) {
  if (version < 1 || version > kRulesVersion) return false;
  rules = RuleBook{};
  rules.version = version;
  rules.emptyFieldAtGameStart = version >= kEmptyFieldAtGameStart;
  return true;
}

std::string UnknownRulesReason(uint32_t version) {
  return "rules version " + std::to_string(version) + ", which this program does not know (it knows 1 to " +
         std::to_string(kRulesVersion) + ")";
}
