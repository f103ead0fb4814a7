#include "replay/replay.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'B', 'R', 'K', 'L', 'R', 'P', 'L', 'Y'};
constexpr uint16_t kRankedFlag = 1;
constexpr size_t kChecksumBytes = 4;
constexpr size_t kStartFixedBytes = 9 * 4 + 4 + 4 + 4;  // the chicken, scroll, lives, pool size
constexpr size_t kActiveMobBytes = 10;                  // frame, tint, x, y

// Little-endian integers appended to a byte vector.
struct Writer {
  std::vector<uint8_t>& out;
  void U8(uint8_t v) { out.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) U8(static_cast<uint8_t>(v >> shift));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Text(const std::string& text) {
    const size_t length = std::min(text.size(), kReplayLongestName);
    U8(static_cast<uint8_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
  }
};

// Little-endian integers read from a span; a read past the end sets `short_` and gives 0.
struct Reader {
  std::span<const uint8_t> in;
  size_t at = 0;
  bool short_ = false;
  bool Has(size_t n) const { return !short_ && in.size() - at >= n; }
  uint8_t U8() {
    if (!Has(1)) {
      short_ = true;
      return 0;
    }
    return in[at++];
  }
  uint16_t U16() {
    const uint16_t low = U8();
    return static_cast<uint16_t>(low | U8() << 8);
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int shift = 0; shift < 32; shift += 8) v |= static_cast<uint32_t>(U8()) << shift;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  bool Text(std::string& text) {
    const size_t length = U8();
    if (length == 0 || length > kReplayLongestName || !Has(length)) return false;
    text.assign(reinterpret_cast<const char*>(in.data() + at), length);
    at += length;
    for (char c : text)
      if (c < 0x21 || c > 0x7e) return false;
    return true;
  }
  bool Done() const { return !short_ && at == in.size(); }
};

uint32_t Crc(std::span<const uint8_t> bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes its lengths as uInt; a replay is far below that, but feed it in pieces anyway.
  for (size_t at = 0; at < bytes.size();) {
    const size_t piece = std::min<size_t>(bytes.size() - at, 1u << 30);
    crc = crc32(crc, bytes.data() + at, static_cast<uInt>(piece));
    at += piece;
  }
  return static_cast<uint32_t>(crc);
}

// The start state and the frames, before compression.
std::vector<uint8_t> PackBody(const Replay& r) {
  std::vector<uint8_t> body;
  Writer w{body};
  for (int32_t v : r.start.player) w.I32(v);
  w.I32(r.start.scrollOffset);
  w.I32(r.start.lives);
  w.U32(static_cast<uint32_t>(r.start.mobs.size()));
  for (const ReplayMob& m : r.start.mobs) w.U8(m.active);
  for (const ReplayMob& m : r.start.mobs) w.U8(m.frameDelay);
  for (const ReplayMob& m : r.start.mobs) {
    if (m.active == 0) continue;
    w.U8(m.frame);
    w.U8(m.tint);
    w.I32(m.x);
    w.I32(m.y);
  }
  body.insert(body.end(), r.inputs.begin(), r.inputs.end());
  // Each clock as the step from the one before (the first from the start clock): mostly 50.
  uint32_t previous = r.startClock;
  for (uint32_t clock : r.clocks) {
    w.U32(clock - previous);
    previous = clock;
  }
  return body;
}

bool UnpackBody(std::span<const uint8_t> body, size_t frames, Replay& r) {
  Reader in{body};
  for (int32_t& v : r.start.player) v = in.I32();
  r.start.scrollOffset = in.I32();
  r.start.lives = in.I32();
  const uint32_t mobs = in.U32();
  if (mobs != 0 && mobs != kReplayPoolSize) return false;
  if (!in.Has(size_t{2} * mobs)) return false;
  r.start.mobs.assign(mobs, ReplayMob{});
  for (ReplayMob& m : r.start.mobs) {
    m.active = in.U8();
    if (m.active > 1) return false;
  }
  for (ReplayMob& m : r.start.mobs) m.frameDelay = in.U8();
  for (ReplayMob& m : r.start.mobs) {
    if (m.active == 0) continue;
    m.frame = in.U8();
    m.tint = in.U8();
    m.x = in.I32();
    m.y = in.I32();
  }
  if (!in.Has(frames * 5)) return false;
  r.inputs.assign(body.begin() + static_cast<std::ptrdiff_t>(in.at),
                  body.begin() + static_cast<std::ptrdiff_t>(in.at + frames));
  in.at += frames;
  for (uint8_t input : r.inputs)
    if (input & 0x80) return false;
  r.clocks.resize(frames);
  uint32_t clock = r.startClock;
  for (uint32_t& c : r.clocks) c = clock += in.U32();
  return in.Done();
}

}  // namespace

const char* ReplayModeName(int32_t mode) {
  static constexpr const char* kNames[3] = {"easy", "normal", "hardcore"};
  return mode >= 0 && mode < 3 ? kNames[mode] : "unknown";
}

std::vector<uint8_t> EncodeReplay(const Replay& r) {
  const std::vector<uint8_t> body = PackBody(r);
  uLongf packedSize = compressBound(static_cast<uLong>(body.size()));
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, body.data(), static_cast<uLong>(body.size()), Z_BEST_COMPRESSION);
  packed.resize(packedSize);

  std::vector<uint8_t> payload;
  Writer p{payload};
  p.Text(r.program);
  p.Text(r.version);
  p.U32(r.rules);
  p.I32(r.mode);
  p.U32(r.seed);
  p.U32(r.startClock);
  p.I32(r.result.stage);
  p.I32(r.result.score);
  p.I32(r.result.bestCombo);
  p.U32(r.result.playSeconds);
  p.U32(static_cast<uint32_t>(r.inputs.size()));
  p.U32(static_cast<uint32_t>(body.size()));
  p.U32(static_cast<uint32_t>(packed.size()));
  payload.insert(payload.end(), packed.begin(), packed.end());

  std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
  Writer w{out};
  w.U16(static_cast<uint16_t>(kReplayFormatVersion));
  w.U16(r.ranked ? kRankedFlag : 0);
  w.U32(static_cast<uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  w.U32(Crc(out));
  return out;
}

ReplayRead DecodeReplay(std::span<const uint8_t> bytes, Replay& r, std::string& error) {
  r = Replay{};
  if (bytes.size() < kReplayHeaderBytes + kChecksumBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    error = "not a replay file";
    return ReplayRead::NotAReplay;
  }
  Reader header{bytes.first(kReplayHeaderBytes)};
  header.at = sizeof kMagic;
  const uint16_t version = header.U16();
  const uint16_t flags = header.U16();
  const uint32_t payloadSize = header.U32();
  if (version != 1 && version != 2) {
    error = "replay format version " + std::to_string(version) +
            ", which this program does not read (it reads 1 and 2)";
    return ReplayRead::UnknownVersion;
  }
  if (bytes.size() - kReplayHeaderBytes - kChecksumBytes != payloadSize) {
    error = "damaged replay: its length does not match its header (cut short?)";
    return ReplayRead::Damaged;
  }
  const size_t checked = kReplayHeaderBytes + payloadSize;
  Reader tail{bytes.subspan(checked)};
  if (tail.U32() != Crc(bytes.first(checked))) {
    error = "damaged replay: its checksum does not match";
    return ReplayRead::Damaged;
  }
  r.ranked = (flags & kRankedFlag) != 0;

  Reader in{bytes.subspan(kReplayHeaderBytes, payloadSize)};
  const bool names = in.Text(r.program) && in.Text(r.version);
  if (version >= 2) r.rules = in.U32();  // format 1 has no such field: its games keep rules 1
  r.mode = in.I32();
  r.seed = in.U32();
  r.startClock = in.U32();
  r.result.stage = in.I32();
  r.result.score = in.I32();
  r.result.bestCombo = in.I32();
  r.result.playSeconds = in.U32();
  const uint32_t frames = in.U32();
  const uint32_t bodySize = in.U32();
  const uint32_t packedSize = in.U32();
  const size_t largestBody = kStartFixedBytes + kReplayPoolSize * (2 + kActiveMobBytes) + size_t{frames} * 5;
  if (!names || in.short_ || r.mode < 0 || r.mode > 2 || r.result.stage < 1 || frames == 0 ||
      frames > kReplayMostFrames || bodySize > largestBody || packedSize != in.in.size() - in.at) {
    error = "damaged replay: a value in its header is out of range";
    return ReplayRead::Damaged;
  }
  if (r.rules == 0) {
    error = "damaged replay: its rules version is 0 (rules versions start at 1)";
    return ReplayRead::Damaged;
  }
  std::vector<uint8_t> body(bodySize);
  uLongf unpacked = bodySize;
  const int z = uncompress(body.data(), &unpacked, in.in.data() + in.at, packedSize);
  if (z != Z_OK || unpacked != bodySize || !UnpackBody(body, frames, r)) {
    error = "damaged replay: its recorded frames do not read back";
    return ReplayRead::Damaged;
  }
  return ReplayRead::Ok;
}
