// The exchange with the ranking server after a game of netplay.
#include "ranking/ranking_exchange.h"

#include <cstring>

#include "app/played_game.h"
#include "app/window.h"
#include "game/course.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "ranking/dialogs.h"
#include "ranking/ranking_client.h"
#include "ranking/server_reply.h"
#include "text/texts.h"

const char kRankingServerAddress[] = BRAKKEL_RANKING_SERVER;

namespace {

// The result of the game being ranked, fixed before connecting.
ScoreSubmission submission;
bool submitted = false;                         // the result went to the server
uint8_t sentSubmission[kScoreSubmissionBytes];  // as it went

void AnswerThreshold(uint32_t threshold) {
  uint8_t out[kScoreSubmissionBytes];
  if (threshold < submission.score) {
    ShowNameDialog();
    submission.checkCode = CheckCode(submission.score, submission.stage, submission.bestCombo, submission.playSeconds);
    // The name field starts all zero for every game: no byte of an earlier name goes along.
    std::memcpy(submission.name, PlayerName, strnlen(PlayerName, kPlayerNameBytes - 1));
    EncodeScoreSubmission(submission, out);
    submitted = RankingConnection.SendBytes(out, kScoreSubmissionBytes);
    std::memcpy(sentSubmission, out, kScoreSubmissionBytes);
  } else {
    EncodeRankDecline(out);
    RankingConnection.SendBytes(out, kRankDeclineBytes);
  }
}

}  // namespace

// Under the fake clock nothing sleeps: the clock moves on instead.
void PollRankingServer(RankingClient& client) {
  if (platform::FakeClockInUse()) {
    const uint32_t before = client.fillLevel;
    client.PollReceive(0, 0);
    if (client.fillLevel == before && client.connected) {
      platform::WaitUntilElapsed(platform::Ticks(), kReceiveWaitStepMs);
    }
    return;
  }
  client.PollReceive(0, kReceiveWaitStepMs * 1000);
}

bool LastSubmission(uint8_t (&out)[kScoreSubmissionBytes]) {
  if (submitted) std::memcpy(out, sentSubmission, kScoreSubmissionBytes);
  return submitted;
}

bool RunRankingExchange(const char* host, uint16_t port) {
  submission = ScoreSubmission{};
  submitted = false;
  PlayedGame& game = CurrentGame();
  GameCounters& counters = game.world.counters;
  submission.stage = counters.stageNumber;
  submission.score = static_cast<uint32_t>(counters.score);
  submission.bestCombo = counters.bestCombo;
  submission.playSeconds = PlaySeconds(game.view.startClock, platform::Ticks());
  counters.playSeconds = submission.playSeconds;

  RankingClient& client = RankingConnection;
  if (!client.ConnectTo(host, port)) {
    platform::ShowMessageBox(kServerUnreachableCaption, kServerUnreachableText);
    client.Cleanup();
    return false;
  }
  uint8_t request[kRankRequestBytes];
  EncodeRankRequest(RankRequest{static_cast<uint8_t>(ModeNumber(counters.gameMode))}, request);
  client.SendBytes(request, sizeof request);

  ServerReply reply;
  const ReplyHandlers handlers{AnswerThreshold, ShowRankDialog};
  uint32_t heardAt = platform::Ticks();
  bool running = true;
  while (running && InputState.quit == 0) {
    const uint32_t before = client.fillLevel;
    PollRankingServer(client);
    const bool arrived = client.fillLevel != before;
    if (!client.connected || InputState.quit) running = false;
    PumpMessages();
    if (TakeServerBytes(client, reply, handlers)) running = false;
    // Counted after the bytes were handled, so the time the name dialog was open is not.
    if (arrived) heardAt = platform::Ticks();
    // A server that has gone silent ends the exchange as a closed connection does.
    if (platform::Ticks() - heardAt >= kServerSilenceLimitMs) running = false;
  }
  client.Cleanup();
  return submitted;
}
