// Any bytes as what the ranking server sends, delivered into the receive buffer in pieces
// and read the way the exchange reads them. Nothing may be read or written out of bounds,
// the buffer may never fill, and what is shown must be the text the server sent.
//
// Input: 2 bytes piece size, 2 bytes filler count (times 2) and 1 filler byte appended
// after the stream (so short inputs reach long texts too), then the stream itself. Each
// stream is read as it stands, then with its text length brought near the bytes that
// follow, and once more as a text too long to show, so every way a text ends is reached.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ranking/dialogs.h"
#include "ranking/ranking_client.h"
#include "ranking/server_reply.h"
#include "wire/protocol.h"

namespace {

int answers = 0;
int shows = 0;

void Answer(uint32_t) {
  if (shows != 0) __builtin_trap();
  ++answers;
}
void Show() { ++shows; }

constexpr size_t kTextAt = kThresholdReplyBytes + kRankTextHeaderBytes;

void ReadStream(const std::vector<uint8_t>& stream, size_t piece) {
  RankingClient& client = RankingConnection;
  client = RankingClient{};
  ServerReply reply;
  const ReplyHandlers handlers{Answer, Show};
  answers = shows = 0;
  std::memset(RankTextBuffer, 0x55, sizeof RankTextBuffer);
  bool done = false;
  for (size_t at = 0; at < stream.size() && !done; at += piece) {
    const size_t n = piece < stream.size() - at ? piece : stream.size() - at;
    // Whatever the server sends, the buffer always has room for the next piece.
    if (client.Deliver(stream.data() + at, n) != n) __builtin_trap();
    done = TakeServerBytes(client, reply, handlers);
    if (client.fillLevel > kReceiveCapacity || client.receiveBuffer[client.fillLevel] != 0) __builtin_trap();
  }
  if (answers > 1 || shows > 1 || done != (shows == 1)) __builtin_trap();
  if (answers == 0 && stream.size() >= kThresholdReplyBytes) __builtin_trap();
  if (done) {
    const size_t shown = strnlen(RankTextBuffer, sizeof RankTextBuffer);
    if (shown >= sizeof RankTextBuffer) __builtin_trap();
    const uint32_t length = GetLe32(stream.data() + kThresholdReplyBytes + 4);
    if (kTextAt + length > stream.size()) __builtin_trap();
    if (shown > length || std::memcmp(RankTextBuffer, stream.data() + kTextAt, shown) != 0) __builtin_trap();
  }
  client.Cleanup();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const size_t piece = 1 + (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) % 32768;
  const size_t filler = 2 * (static_cast<size_t>(data[2]) | static_cast<size_t>(data[3]) << 8);
  static std::vector<uint8_t> stream;
  stream.assign(data + 5, data + size);
  stream.insert(stream.end(), filler, data[4]);
  ReadStream(stream, piece);
  if (stream.size() < kTextAt) return 0;
  uint8_t* length = stream.data() + kThresholdReplyBytes + 4;
  const uint32_t stated = GetLe32(length);
  PutLe32(length, static_cast<uint32_t>(stated % (stream.size() - kTextAt + 2)));
  ReadStream(stream, piece);
  PutLe32(length, 10000 + stated % 20000);
  ReadStream(stream, piece);
  return 0;
}
