#pragma once
// netplay's ranking step: after every game the result goes to the ranking server, which
// answers with the score to beat; a result that beats it is submitted under the name the
// player enters, otherwise declined; the server's ranking text is then shown.
#include <cstdint>

#include "wire/protocol.h"

// The ranking server's host, fixed when the program is built (127.0.0.1 by default); netplay's
// --server or its settings' server line name another.
extern const char kRankingServerAddress[];
// A server that sends nothing for this long while it is awaited counts as gone.
inline constexpr uint32_t kServerSilenceLimitMs = 30000;
// The longest single wait for the server's bytes, so the window keeps answering.
inline constexpr uint32_t kReceiveWaitStepMs = 5;

struct RankingClient;
// Waits a few milliseconds (kReceiveWaitStepMs) for the server's bytes and takes what came, so
// a loop awaiting the server neither spins nor keeps the window waiting.
void PollRankingServer(RankingClient& client);

// One whole exchange for the game that just ended, from the game counters, the input
// state and PlayerName. Shows "연결이 않됩니다.." once when the server cannot be reached.
// The host is a name, a dotted IPv4 address or an IPv6 address without brackets; a name that
// does not resolve counts as an unreachable server. The connection's address stays in
// RankingConnection.endpoint for the replay's upload.
// True when the result was submitted (it beat the server's score to beat).
bool RunRankingExchange(const char* host = kRankingServerAddress, uint16_t port = kRankingPort);
// The submission this game's exchange sent, byte for byte; false when it sent none.
bool LastSubmission(uint8_t (&out)[kScoreSubmissionBytes]);
