#pragma once
// netplay's last step of a game whose score the server kept: the game's replay goes to the
// same server on a connection of its own, in the background, so the server can play it again
// and mark the score verified or suspect. The player's game never waits for it.
#include <cstdint>
#include <vector>

#include "platform/net.h"
#include "replay/replay.h"
#include "wire/protocol.h"

// How long the background send may take in all; then it gives up, unseen.
inline constexpr uint32_t kReplayUploadLimitMs = 5000;

// Sends the replay (its file's bytes, as EncodeReplay made them) with the submission the
// exchange sent for it to `server`, the address that exchange reached (RankingClient's
// `endpoint`: the name is not looked up again), when this game's result was submitted; does
// nothing otherwise, or for a replay too long to send. Returns at once.
void UploadReplayOfSubmission(const std::vector<uint8_t>& encodedReplay, const platform::Endpoint& server);
