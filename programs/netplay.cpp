// netplay: the game with its rankings kept by the ranking server.
#include "app/edition.h"
#include "app/program.h"
#include "platform/complain.h"
#include "platform/game_folder.h"
#include "ranking/ranking_client.h"
#include "ranking/ranking_exchange.h"
#include "ranking/replay_fetch.h"
#include "ranking/replay_upload.h"

namespace {
// The run's ranking server: the built-in one unless --server or the settings name another.
ServerAddress rankingServer{kRankingServerAddress, kRankingPort};
void UseServer(const ServerAddress& server) { rankingServer = server; }
// The exchange reads the mode and the stage from the game counters, where the flow keeps them.
bool RankOnline(int32_t /*mode*/, int32_t /*stage*/) {
  return RunRankingExchange(rankingServer.host.c_str(), rankingServer.port);
}
// A kept score's game goes to the address the exchange reached, which checks the score by it.
void UploadKeptGame(const std::vector<uint8_t>& encodedReplay) {
  UploadReplayOfSubmission(encodedReplay, RankingConnection.endpoint);
}
// --watch asks the same server.
bool FetchListedGame(int32_t mode, int32_t place, std::vector<uint8_t>& bytes) {
  return FetchReplayToWatch(rankingServer.host.c_str(), rankingServer.port, mode, place, bytes);
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
                      .useServer = UseServer,
                      .listedReplayFetch = FetchListedGame};

int main(int argc, char** argv) {
  return RunGameProgram("netplay", platform::ProgramArguments(argc, argv), [] { platform::EnterGameFolder(); });
}
