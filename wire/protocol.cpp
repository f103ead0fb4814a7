// The ranking messages' byte layouts.
#include "wire/protocol.h"

#include <cstring>

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void EncodeRankRequest(const RankRequest& request, uint8_t out[kRankRequestBytes]) {
  out[0] = kRankRequestType;
  out[1] = request.mode;
}

bool DecodeRankRequest(const uint8_t in[kRankRequestBytes], RankRequest& request) {
  if (in[0] != kRankRequestType) return false;
  request.mode = in[1];
  return true;
}

void EncodeThresholdReply(uint32_t threshold, uint8_t out[kThresholdReplyBytes]) {
  std::memset(out, 0, kThresholdReplyBytes);
  PutLe32(out + 52, threshold);
}

uint32_t DecodeThresholdReply(const uint8_t in[kThresholdReplyBytes]) { return GetLe32(in + 52); }

void EncodeScoreSubmission(const ScoreSubmission& s, uint8_t out[kScoreSubmissionBytes]) {
  out[0] = kScoreSubmissionType;
  std::memcpy(out + 1, s.name, kSubmissionNameBytes);
  PutLe32(out + 104, static_cast<uint32_t>(s.stage));
  PutLe32(out + 108, s.score);
  PutLe32(out + 112, static_cast<uint32_t>(s.bestCombo));
  PutLe32(out + 116, s.playSeconds);
  PutLe32(out + 120, static_cast<uint32_t>(s.checkCode));
}

bool DecodeScoreSubmission(const uint8_t in[kScoreSubmissionBytes], ScoreSubmission& s) {
  if (in[0] != kScoreSubmissionType) return false;
  std::memcpy(s.name, in + 1, kSubmissionNameBytes);
  s.stage = static_cast<int32_t>(GetLe32(in + 104));
  s.score = GetLe32(in + 108);
  s.bestCombo = static_cast<int32_t>(GetLe32(in + 112));
  s.playSeconds = GetLe32(in + 116);
  s.checkCode = static_cast<int32_t>(GetLe32(in + 120));
  return true;
}

void EncodeRankDecline(uint8_t out[kRankDeclineBytes]) {
  out[0] = kRankDeclineType;
  out[1] = 0;
}

bool IsRankDecline(const uint8_t in[kRankDeclineBytes]) { return in[0] == kRankDeclineType && in[1] == 0; }

void EncodeRankTextHeader(uint32_t length, uint8_t out[kRankTextHeaderBytes]) {
  std::memset(out, 0, kRankTextHeaderBytes);
  PutLe32(out + 4, length);
}

uint32_t DecodeRankTextHeader(const uint8_t in[kRankTextHeaderBytes]) { return GetLe32(in + 4); }

int32_t CheckCode(uint32_t score, int32_t stage, int32_t bestCombo, uint32_t playSeconds) {
  // Products and sums in unsigned 32 bits wrap as 32-bit two's-complement arithmetic does;
  // only the division is signed.
  const uint32_t part1 = (score % 10u) * static_cast<uint32_t>(stage) * 24151u;
  const auto combo100 = static_cast<int32_t>(static_cast<uint32_t>(bestCombo) * 100u);
  const auto part2 = static_cast<uint32_t>(combo100 / 9);
  return static_cast<int32_t>(part1 + part2 - playSeconds + 350927u);
}

void EncodeReplayFetch(const ReplayFetch& fetch, uint8_t out[kReplayFetchBytes]) {
  out[0] = kReplayFetchType;
  out[1] = fetch.mode;
  out[2] = fetch.place;
}

bool DecodeReplayFetch(const uint8_t in[kReplayFetchBytes], ReplayFetch& fetch) {
  if (in[0] != kReplayFetchType || in[1] > 2 || in[2] < 1 || in[2] > kReplayFetchMostPlace) return false;
  fetch.mode = in[1];
  fetch.place = in[2];
  return true;
}
