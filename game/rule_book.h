#pragma once
// The version of the rules a game is played under, and the switches each version sets. A
// behaviour that a later version changes becomes a switch here, on from the version that
// brought it, so a game recorded under an older version plays again exactly as it was played.
#include <cstdint>
#include <string>

// The rules new games are played under. Every recording from before rules had a version
// (replay format 1) was played under version 1.
#ifdef BRAKKEL_TRIAL_RULES
inline constexpr uint32_t kRulesVersion = 2;  // a test build's own, to try the switches
#else
inline constexpr uint32_t kRulesVersion = 1;
#endif

// The first version under which a new game starts on an empty field. Not yet released: only
// the test build that tries the switches plays it.
inline constexpr uint32_t kEmptyFieldAtGameStart = 2;

// The rules as they stand, unless set to a version's by RulesOfVersion.
struct RuleBook {
  uint32_t version = kRulesVersion;
  // A new game starts with no mob in play, instead of with the ones the game before left
  // walking (which can cost a hardcore game its only life before the player has killed one).
  bool emptyFieldAtGameStart = kRulesVersion >= kEmptyFieldAtGameStart;
};

// The rules of `version`, or false for a version this program does not know (0, or newer
// than kRulesVersion).
bool RulesOfVersion(uint32_t version, RuleBook& rules);
// The one line that says a recording's rules `version` is not known here.
std::string UnknownRulesReason(uint32_t version);
