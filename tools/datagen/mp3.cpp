#include "tools/datagen/mp3.h"

#include <lame/lame.h>

#include <algorithm>

namespace datagen {

Bytes EncodeMp3(const Pcm& pcm) {
  Bytes out;
  if (pcm.channels != 2 || pcm.samples.empty()) return out;
  lame_global_flags* lame = lame_init();
  if (!lame) return out;
  lame_set_in_samplerate(lame, pcm.sampleRate);
  lame_set_out_samplerate(lame, pcm.sampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, kMp3Kbps);
  lame_set_quality(lame, 2);
  lame_set_bWriteVbrTag(lame, 1);            // the first frame is kept for the tag
  lame_set_write_id3tag_automatic(lame, 0);  // nothing before that frame
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return out;
  }

  const int frames = static_cast<int>(pcm.Frames());
  std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * 4096 + 7200));
  std::vector<short> chunk;
  bool ok = true;
  for (int at = 0; at < frames && ok; at += 4096) {
    int count = std::min(4096, frames - at);
    chunk.assign(pcm.samples.begin() + 2L * at, pcm.samples.begin() + 2L * (at + count));
    int n = lame_encode_buffer_interleaved(lame, chunk.data(), count, buffer.data(), static_cast<int>(buffer.size()));
    if (n < 0)
      ok = false;
    else
      out.insert(out.end(), buffer.begin(), buffer.begin() + n);
  }
  int n = ok ? lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size())) : -1;
  if (n < 0)
    ok = false;
  else
    out.insert(out.end(), buffer.begin(), buffer.begin() + n);

  // The tag frame, now that the frame count, delay and padding are known, replaces the
  // placeholder LAME wrote first.
  if (ok) {
    unsigned char tag[4096];
    size_t size = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (size == 0 || size > out.size())
      ok = false;
    else
      std::copy(tag, tag + size, out.begin());
  }
  lame_close(lame);
  if (!ok) out.clear();
  return out;
}

}  // namespace datagen
