// Reading the ranking server's reply and listing text off the receive buffer.
#include "ranking/server_reply.h"

#include <cstring>

#include "ranking/dialogs.h"
#include "text/cp949.h"
#include "wire/protocol.h"

ReplyStep ReadServerBytes(ServerReply& reply, const uint8_t* bytes, uint32_t held, char* text, size_t textCap) {
  const size_t shown = textCap - 1;  // the most text bytes the buffer takes
  switch (reply.phase) {
    case ServerReply::Phase::AwaitThreshold:
      if (held < kThresholdReplyBytes) return {};
      reply.threshold = DecodeThresholdReply(bytes);
      reply.phase = ServerReply::Phase::AwaitText;
      return {static_cast<uint32_t>(kThresholdReplyBytes), ReplyEvent::Threshold};

    case ServerReply::Phase::AwaitText: {
      if (held < kRankTextHeaderBytes) return {};
      const uint32_t length = DecodeRankTextHeader(bytes);
      if (length > shown) {
        // Too long to show whole; a length near 4 GiB must not wrap into a short one.
        reply.textLength = length;
        reply.phase = ServerReply::Phase::LongTextStart;
        return {static_cast<uint32_t>(kRankTextHeaderBytes), ReplyEvent::Progress};
      }
      if (held - kRankTextHeaderBytes < length) return {};
      std::memcpy(text, bytes + kRankTextHeaderBytes, length);
      text[length] = 0;
      reply.textLength = length;
      reply.phase = ServerReply::Phase::Done;
      return {static_cast<uint32_t>(kRankTextHeaderBytes + length), ReplyEvent::TextComplete};
    }

    case ServerReply::Phase::LongTextStart: {
      // One byte beyond what is shown tells whether the last one begins a double-byte
      // character that would be cut in half.
      if (held < shown + 1) return {};
      const size_t keep = Cp949FitLength(reinterpret_cast<const char*>(bytes), shown + 1, shown);
      std::memcpy(text, bytes, keep);
      text[keep] = 0;
      reply.dropLeft = reply.textLength - static_cast<uint32_t>(shown + 1);
      reply.phase = reply.dropLeft == 0 ? ServerReply::Phase::Done : ServerReply::Phase::DroppingText;
      return {static_cast<uint32_t>(shown + 1), reply.dropLeft == 0 ? ReplyEvent::TextComplete : ReplyEvent::Progress};
    }

    case ServerReply::Phase::DroppingText: {
      if (held == 0) return {};
      const uint32_t take = held < reply.dropLeft ? held : reply.dropLeft;
      reply.dropLeft -= take;
      if (reply.dropLeft > 0) return {take, ReplyEvent::NeedMore};
      reply.phase = ServerReply::Phase::Done;
      return {take, ReplyEvent::TextComplete};
    }

    case ServerReply::Phase::Done: break;
  }
  return {};
}

bool TakeServerBytes(RankingClient& client, ServerReply& reply, const ReplyHandlers& handlers) {
  for (;;) {
    const ReplyStep step = ReadServerBytes(reply, client.receiveBuffer, client.fillLevel, RankTextBuffer,
                                           sizeof RankTextBuffer);
    client.Consume(step.consume);
    switch (step.event) {
      case ReplyEvent::NeedMore: return false;
      case ReplyEvent::Threshold:
        if (handlers.answer) handlers.answer(reply.threshold);
        break;
      case ReplyEvent::Progress: break;
      case ReplyEvent::TextComplete:
        if (handlers.showText) handlers.showText();
        return true;
    }
  }
}
