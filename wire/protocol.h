#pragma once
// The messages netplay and the ranking server exchange over TCP, byte for byte. Every
// integer is little-endian on the wire, whatever the host. One exchange per connection:
//   client: RankRequest   server: ThresholdReply
//   client: ScoreSubmission (score above the threshold) or RankDecline
//   server: RankTextHeader and the listing text, then the connection closes.
#include <cstddef>
#include <cstdint>

inline constexpr uint16_t kRankingPort = 20;

inline constexpr size_t kRankRequestBytes = 2;
inline constexpr size_t kThresholdReplyBytes = 56;
inline constexpr size_t kScoreSubmissionBytes = 124;
inline constexpr size_t kRankDeclineBytes = 2;
inline constexpr size_t kRankTextHeaderBytes = 8;
inline constexpr size_t kSubmissionNameBytes = 103;

inline constexpr uint8_t kRankRequestType = 0;
inline constexpr uint8_t kRankDeclineType = 1;
inline constexpr uint8_t kScoreSubmissionType = 2;

// Client to server, first: the difficulty of the game (0 easy, 1 normal, 2 hardcore).
struct RankRequest {
  uint8_t mode = 0;
};

// The result offered when the score beats the threshold.
struct ScoreSubmission {
  char name[kSubmissionNameBytes] = {};  // code page 949, zero-terminated (not trusted)
  int32_t stage = 0;
  uint32_t score = 0;
  int32_t bestCombo = 0;
  uint32_t playSeconds = 0;
  int32_t checkCode = 0;
};

void PutLe32(uint8_t* p, uint32_t v);
uint32_t GetLe32(const uint8_t* p);

// RankRequest: type 0, mode.
void EncodeRankRequest(const RankRequest& request, uint8_t out[kRankRequestBytes]);
// False when the type byte is not 0 (the mode is not checked here).
bool DecodeRankRequest(const uint8_t in[kRankRequestBytes], RankRequest& request);

// ThresholdReply: 52 opaque bytes (zero from our server), the threshold at offset 52.
void EncodeThresholdReply(uint32_t threshold, uint8_t out[kThresholdReplyBytes]);
uint32_t DecodeThresholdReply(const uint8_t in[kThresholdReplyBytes]);

// ScoreSubmission: type 2, name[103], stage, score, best combo, play seconds, check code.
void EncodeScoreSubmission(const ScoreSubmission& s, uint8_t out[kScoreSubmissionBytes]);
// False when the type byte is not 2. The name is copied as it stands (103 bytes).
bool DecodeScoreSubmission(const uint8_t in[kScoreSubmissionBytes], ScoreSubmission& s);

// RankDecline: type 1, then 0.
void EncodeRankDecline(uint8_t out[kRankDeclineBytes]);
// True only for exactly those two bytes.
bool IsRankDecline(const uint8_t in[kRankDeclineBytes]);

// RankTextHeader: 4 opaque bytes (zero from our server), the text length at offset 4.
void EncodeRankTextHeader(uint32_t length, uint8_t out[kRankTextHeaderBytes]);
uint32_t DecodeRankTextHeader(const uint8_t in[kRankTextHeaderBytes]);

// The submission's check code in 32-bit two's-complement arithmetic that wraps:
// (score mod 10, unsigned) * stage * 24151 + (bestCombo * 100) / 9 (signed, truncated
// toward zero) - playSeconds + 350927.
int32_t CheckCode(uint32_t score, int32_t stage, int32_t bestCombo, uint32_t playSeconds);

// A kept score's game, sent by netplay after its exchange on a connection of its own: the
// type byte 3, the 124-byte submission as it was sent, the replay's length (4 bytes,
// little-endian), the replay's bytes. The exchange itself never uses the type.
inline constexpr uint8_t kReplayUploadType = 3;
inline constexpr size_t kReplayUploadHeadBytes = 1 + kScoreSubmissionBytes + 4;
// The longest replay taken; a longer length is refused before anything is read or allocated.
inline constexpr uint32_t kReplayMostBytes = 1u << 20;

// A listed game's replay, asked for by netplay to show it (never part of an exchange), on a
// connection of its own: the type byte 4, the difficulty (0 to 2) and the place in that
// difficulty's listing (1 to 20). The server answers with the replay's length (4 bytes,
// little-endian; 0 when that place has no kept replay: no such row, not verified, or the
// server keeps none) and the replay's bytes, then closes.
inline constexpr uint8_t kReplayFetchType = 4;
inline constexpr size_t kReplayFetchBytes = 3;
inline constexpr size_t kReplayFetchReplyHeadBytes = 4;
inline constexpr int kReplayFetchMostPlace = 20;

struct ReplayFetch {
  uint8_t mode = 0;   // 0 easy, 1 normal, 2 hardcore
  uint8_t place = 1;  // 1 to kReplayFetchMostPlace
};
void EncodeReplayFetch(const ReplayFetch& fetch, uint8_t out[kReplayFetchBytes]);
// False unless the type is 4, the difficulty 0 to 2 and the place 1 to kReplayFetchMostPlace.
bool DecodeReplayFetch(const uint8_t in[kReplayFetchBytes], ReplayFetch& fetch);
