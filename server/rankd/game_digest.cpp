// A recorded game's fingerprint, with OpenSSL's SHA-256 (libcrypto comes with libpq).
#include "server/rankd/game_digest.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

namespace rankd {
namespace {

// Numbers go in as little-endian bytes, whatever the machine, in chunks of this many.
class Feed {
 public:
  explicit Feed(EVP_MD_CTX* context) : context_(context) {}
  ~Feed() { Flush(); }
  void Number(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    if (bytes_.size() >= 4096) Flush();
  }
  void Bytes(const std::vector<uint8_t>& bytes) {
    Flush();
    EVP_DigestUpdate(context_, bytes.data(), bytes.size());
  }
  void Flush() {
    EVP_DigestUpdate(context_, bytes_.data(), bytes_.size());
    bytes_.clear();
  }

 private:
  EVP_MD_CTX* context_;
  std::vector<uint8_t> bytes_;
};

void FeedGame(Feed& feed, const Replay& r) {
  // The clocks are left out: they change only the seconds counted, so a game shifted in time
  // is the same game.
  for (const uint32_t n : {r.rules, static_cast<uint32_t>(r.mode), r.seed}) feed.Number(n);
  for (const int32_t n : r.start.player) feed.Number(static_cast<uint32_t>(n));
  feed.Number(static_cast<uint32_t>(r.start.scrollOffset));
  feed.Number(static_cast<uint32_t>(r.start.lives));
  feed.Number(static_cast<uint32_t>(r.start.mobs.size()));
  for (const ReplayMob& m : r.start.mobs) {
    feed.Number(static_cast<uint32_t>(m.active | m.frameDelay << 8 | m.frame << 16 | m.tint << 24));
    feed.Number(static_cast<uint32_t>(m.x));
    feed.Number(static_cast<uint32_t>(m.y));
  }
  feed.Number(static_cast<uint32_t>(r.inputs.size()));
  feed.Bytes(r.inputs);
}

}  // namespace

std::string GameDigest(const Replay& replay) {
  const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
  {
    Feed feed(context.get());
    FeedGame(feed, replay);
  }
  if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1) return {};
  return std::string(reinterpret_cast<const char*>(digest), size);
}

}  // namespace rankd
