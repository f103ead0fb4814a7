// Reading the ranking server's reply and listing text off the receive buffer.
#include "ranking/server_reply.h"

#include <cstring>

#include "ranking/dialogs.h"
#include "wire/cp949.h"
#include "wire/protocol.h"

ReplyStep ReadServerBytes(ServerReply& reply, const uint8_t* bytes, uint32_t held, char* text, size_t textCap) {
  const size_t shown = textCap - 1;  // the most text bytes the buffer takes
  switch (reply.phase) {
    case ServerReply::kAwaitThreshold:
      if (held < kThresholdReplyBytes) return {};
      reply.threshold = DecodeThresholdReply(bytes);
      reply.phase = ServerReply::kAwaitText;
      return {static_cast<uint32_t>(kThresholdReplyBytes), ReplyEvent::kThreshold};

    case ServerReply::kAwaitText: {
      if (held < kRankTextHeaderBytes) return {};
      const uint32_t length = DecodeRankTextHeader(bytes);
      if (length > shown) {
        // Too long to show whole; a length near 4 GiB must not wrap into a short one.
        reply.textLength = length;
        reply.phase = ServerReply::kLongTextStart;
        return {static_cast<uint32_t>(kRankTextHeaderBytes), ReplyEvent::kProgress};
      }
      if (held - kRankTextHeaderBytes < length) return {};
      std::memcpy(text, bytes + kRankTextHeaderBytes, length);
      text[length] = 0;
      reply.textLength = length;
      reply.phase = ServerReply::kDone;
      return {static_cast<uint32_t>(kRankTextHeaderBytes + length), ReplyEvent::kTextComplete};
    }

    case ServerReply::kLongTextStart: {
      // One byte beyond what is shown tells whether the last one begins a double-byte
      // character that would be cut in half.
      if (held < shown + 1) return {};
      const size_t keep = Cp949FitLength(reinterpret_cast<const char*>(bytes), shown + 1, shown);
      std::memcpy(text, bytes, keep);
      text[keep] = 0;
      reply.dropLeft = reply.textLength - static_cast<uint32_t>(shown + 1);
      reply.phase = reply.dropLeft == 0 ? ServerReply::kDone : ServerReply::kDroppingText;
      return {static_cast<uint32_t>(shown + 1),
              reply.dropLeft == 0 ? ReplyEvent::kTextComplete : ReplyEvent::kProgress};
    }

    case ServerReply::kDroppingText: {
      if (held == 0) return {};
      const uint32_t take = held < reply.dropLeft ? held : reply.dropLeft;
      reply.dropLeft -= take;
      if (reply.dropLeft > 0) return {take, ReplyEvent::kNeedMore};
      reply.phase = ServerReply::kDone;
      return {take, ReplyEvent::kTextComplete};
    }

    case ServerReply::kDone: break;
  }
  return {};
}

bool TakeServerBytes(RankingClient& client, ServerReply& reply, const ReplyHandlers& handlers) {
  for (;;) {
    const ReplyStep step = ReadServerBytes(reply, client.receiveBuffer, client.fillLevel, rankTextBuffer,
                                           sizeof rankTextBuffer);
    client.Consume(step.consume);
    switch (step.event) {
      case ReplyEvent::kNeedMore: return false;
      case ReplyEvent::kThreshold:
        if (handlers.answer) handlers.answer(reply.threshold);
        break;
      case ReplyEvent::kProgress: break;
      case ReplyEvent::kTextComplete:
        if (handlers.showText) handlers.showText();
        return true;
    }
  }
}
