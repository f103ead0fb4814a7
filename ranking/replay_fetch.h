#pragma once
// netplay --watch: a listed game's replay fetched from the ranking server on a connection of
// its own (the fetch message of wire/protocol.h), within the exchange's limits.
#include <cstdint>
#include <string>
#include <vector>

#include "wire/protocol.h"

enum class ReplayFetchEnd {
  Fetched,      // `bytes` hold the whole replay, and the server closed after it
  Unreachable,  // no connection within kConnectLimitMs
  NotKept,      // the server keeps no replay for that place (a length of 0)
  NoReply,      // closed without a byte: a server that does not know the fetch
  Silent,       // nothing came for kServerSilenceLimitMs before the reply was closed
  BadReply,     // a length over kReplayMostBytes, a close within the length or the replay, or
                // bytes after the replay: the reason is in `error`
};

// Connects to the dotted IPv4 address (pumping the window as the exchange does), sends the
// fetch and reads the reply into `bytes`, which grow only with the bytes that came. Anything
// but Fetched leaves `bytes` empty. Uses and closes RankingConnection.
ReplayFetchEnd FetchListedReplay(const char* address, uint16_t port, const ReplayFetch& fetch,
                                 std::vector<uint8_t>& bytes, std::string& error);

// netplay's fetch for --watch from its ranking server: says "connecting to ..." and, when it
// fails, one line on standard error saying why ("연결이 않됩니다.." for a server that cannot be
// reached). True with the replay's bytes.
bool FetchReplayToWatch(const char* address, uint16_t port, int32_t mode, int32_t place, std::vector<uint8_t>& bytes);
