// The fetch of a listed game's replay: one message out, the length and the replay back, then
// the server's close.
#include "ranking/replay_fetch.h"

#include <cstring>

#include "app/window.h"
#include "platform/clock.h"
#include "platform/complain.h"
#include "ranking/ranking_client.h"
#include "ranking/ranking_exchange.h"
#include "replay/replay.h"
#include "text/cp949.h"
#include "text/texts.h"

namespace {

// The reply as it comes: the length, then the replay. Only the bytes that came are kept, so a
// length alone never makes the replay's room.
class ReplyReader {
 public:
  explicit ReplyReader(std::vector<uint8_t>& body) : body_(body) {}
  // Takes the bytes that came; false with the reason in `error` when they cannot be the reply's.
  bool Take(const uint8_t* data, size_t count, std::string& error);
  // What the reply was once the server closed.
  ReplayFetchEnd AtClose(std::string& error) const;

 private:
  uint8_t head_[kReplayFetchReplyHeadBytes] = {};
  size_t headHeld_ = 0;
  uint32_t length_ = 0;
  std::vector<uint8_t>& body_;
};

bool ReplyReader::Take(const uint8_t* data, size_t count, std::string& error) {
  for (; count > 0 && headHeld_ < sizeof head_; --count) head_[headHeld_++] = *data++;
  if (headHeld_ < sizeof head_) return true;
  length_ = GetLe32(head_);
  if (length_ > kReplayMostBytes) {
    error = "a replay of " + std::to_string(length_) + " bytes was announced, more than the " +
            std::to_string(kReplayMostBytes) + " a replay may have";
    return false;
  }
  if (count > length_ - body_.size()) {
    error = "more bytes came than the " + std::to_string(length_) + " announced";
    return false;
  }
  body_.insert(body_.end(), data, data + count);
  return true;
}

ReplayFetchEnd ReplyReader::AtClose(std::string& error) const {
  if (headHeld_ == 0) return ReplayFetchEnd::NoReply;
  if (headHeld_ < sizeof head_) {
    error = "the connection closed within the replay's length";
    return ReplayFetchEnd::BadReply;
  }
  if (length_ == 0) return ReplayFetchEnd::NotKept;
  if (body_.size() < length_) {
    error = "the connection closed after " + std::to_string(body_.size()) + " of the " + std::to_string(length_) +
            " bytes announced";
    return ReplayFetchEnd::BadReply;
  }
  return ReplayFetchEnd::Fetched;
}

// Reads until the server closes, keeps silent too long, or sends what cannot be the reply; the
// window is served all along.
ReplayFetchEnd ReadReply(RankingClient& client, std::vector<uint8_t>& bytes, std::string& error) {
  ReplyReader reader(bytes);
  uint32_t heardAt = platform::Ticks();
  for (;;) {
    PollRankingServer(client);
    PumpMessages();
    if (client.fillLevel > 0) {
      const bool fits = reader.Take(client.receiveBuffer, client.fillLevel, error);
      client.Consume(client.fillLevel);
      if (!fits) return ReplayFetchEnd::BadReply;
      heardAt = platform::Ticks();
    }
    if (!client.connected) return reader.AtClose(error);
    if (platform::Ticks() - heardAt >= kServerSilenceLimitMs) return ReplayFetchEnd::Silent;
  }
}

}  // namespace

ReplayFetchEnd FetchListedReplay(const char* address, uint16_t port, const ReplayFetch& fetch,
                                 std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  RankingClient& client = RankingConnection;
  ReplayFetchEnd end = ReplayFetchEnd::Unreachable;
  if (client.ConnectTo(address, port)) {
    uint8_t message[kReplayFetchBytes];
    EncodeReplayFetch(fetch, message);
    client.SendBytes(message, sizeof message);
    end = ReadReply(client, bytes, error);
  }
  client.Cleanup();
  if (end != ReplayFetchEnd::Fetched) bytes.clear();
  return end;
}

bool FetchReplayToWatch(const char* address, uint16_t port, int32_t mode, int32_t place, std::vector<uint8_t>& bytes) {
  std::string error;
  const ReplayFetch fetch{static_cast<uint8_t>(mode), static_cast<uint8_t>(place)};
  const char* modeName = ReplayModeName(mode);
  const int placeShown = place;
  switch (FetchListedReplay(address, port, fetch, bytes, error)) {
    case ReplayFetchEnd::Fetched: return true;
    case ReplayFetchEnd::Unreachable: {
      char text[64];
      Cp949ToUtf8(kServerUnreachableText, std::strlen(kServerUnreachableText), text, sizeof text);
      platform::Complain("%s (the ranking server %s port %u cannot be reached)", text, address,
                         static_cast<unsigned>(port));
      break;
    }
    case ReplayFetchEnd::NotKept:
      platform::Complain("the ranking server keeps no replay of %s place %d", modeName, placeShown);
      break;
    case ReplayFetchEnd::NoReply:
      platform::Complain("the ranking server %s port %u closed without a reply: it serves no replays", address,
                         static_cast<unsigned>(port));
      break;
    case ReplayFetchEnd::Silent:
      platform::Complain("the ranking server %s port %u sent nothing for %u seconds and counts as gone", address,
                         static_cast<unsigned>(port), kServerSilenceLimitMs / 1000);
      break;
    case ReplayFetchEnd::BadReply:
      platform::Complain("the ranking server's reply for %s place %d is refused: %s", modeName, placeShown,
                         error.c_str());
      break;
  }
  return false;
}
