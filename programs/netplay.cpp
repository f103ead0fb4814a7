// netplay: the game with its rankings kept by the ranking server.
#include "app/edition.h"
#include "app/program.h"
#include "platform/game_folder.h"
#include "ranking/ranking_exchange.h"
#include "ranking/replay_fetch.h"
#include "ranking/replay_upload.h"

namespace {
// The exchange reads the mode and the stage from the game counters, where the flow keeps them.
bool RankOnline(int32_t /*mode*/, int32_t /*stage*/) { return RunRankingExchange(); }
// A kept score's game goes to the same server, which checks the score by it.
void UploadKeptGame(const std::vector<uint8_t>& encodedReplay) {
  UploadReplayOfSubmission(encodedReplay, kRankingServerAddress, kRankingPort);
}
// --watch asks the same server.
bool FetchListedGame(int32_t mode, int32_t place, std::vector<uint8_t>& bytes) {
  return FetchReplayToWatch(kRankingServerAddress, kRankingPort, mode, place, bytes);
}
}  // namespace

// Longest name 9 bytes; the music goes on after the window is closed; the server's ranking;
// games recorded as netplay's, and a kept score's game sent to the server; --watch shows a
// listed game fetched from it.
EditionTraits Edition{.longestName = 9,
                      .musicAfterQuit = true,
                      .onlineRanking = true,
                      .rankingStep = RankOnline,
                      .program = "netplay",
                      .keptGameStep = UploadKeptGame,
                      .listedReplayFetch = FetchListedGame};

int main(int argc, char** argv) {
  return RunGameProgram("netplay", argc, argv, [] { platform::EnterGameFolder(); });
}
