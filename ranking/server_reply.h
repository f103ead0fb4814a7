#pragma once
// How the exchange reads the ranking server's bytes: the 56-byte threshold reply, then the
// 8-byte text header and the listing text. Works on the bytes held at the front of a
// receive buffer, so it runs the same with a socket behind the buffer or without one.
#include <cstddef>
#include <cstdint>

#include "ranking/ranking_client.h"

struct ServerReply {
  enum class Phase : uint8_t {
    AwaitThreshold,  // the 56-byte reply
    AwaitText,       // the header and, for a text that fits, the whole text
    LongTextStart,   // a text too long to show: its first part
    DroppingText,    // the rest of a long text, dropped as it arrives
    Done,            // the text is complete; nothing more is read
  };
  Phase phase = Phase::AwaitThreshold;
  uint32_t threshold = 0;
  uint32_t textLength = 0;  // as the header says, up to 4 GiB - 1
  uint32_t dropLeft = 0;
};

enum class ReplyEvent {
  NeedMore,      // wait for more bytes
  Threshold,     // the reply arrived: answer it now
  Progress,      // bytes were taken; look again
  TextComplete,  // the whole text arrived: show it
};

struct ReplyStep {
  uint32_t consume = 0;  // bytes to take off the front of the buffer
  ReplyEvent event = ReplyEvent::NeedMore;
};

// One step over the `held` bytes at the front: what they complete, and how many to take.
// Text goes into `text` (textCap bytes, at least 2), always zero-terminated; a text of
// textCap bytes or more shows its first textCap - 1 bytes, cut at a character boundary,
// and the rest is dropped as it arrives, so the buffer never fills with it.
ReplyStep ReadServerBytes(ServerReply& reply, const uint8_t* bytes, uint32_t held, char* text, size_t textCap);

// What the exchange does when the server's bytes complete something.
struct ReplyHandlers {
  void (*answer)(uint32_t threshold) = nullptr;  // ask the name if it beats it; send
  void (*showText)() = nullptr;                  // the text is in RankTextBuffer
};

// Takes every complete piece off the front of the client's buffer, in order, calling the
// handlers (the answer first). Returns true once the text was complete and shown.
bool TakeServerBytes(RankingClient& client, ServerReply& reply, const ReplyHandlers& handlers);
