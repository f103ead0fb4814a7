#include "platform/testing/audio_probe.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>

namespace platform {

bool DecodeAudioFile(const char* fileName, DecodedAudio& out) {
  out = DecodedAudio{};
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  Mix_Init(MIX_INIT_MP3);
  int rate = 0, channels = 0;
  Uint16 format = 0;
  const bool wasOpen = Mix_QuerySpec(&rate, &format, &channels) != 0;
  if (!wasOpen && Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Mix_QuerySpec(&rate, &format, &channels);

  bool ok = false;
  if (format == AUDIO_S16SYS) {
    if (Mix_Chunk* chunk = Mix_LoadWAV(fileName)) {
      out.sampleRate = rate;
      out.channels = channels;
      out.samples.resize(chunk->alen / sizeof(int16_t));
      std::memcpy(out.samples.data(), chunk->abuf, out.samples.size() * sizeof(int16_t));
      Mix_FreeChunk(chunk);
      ok = true;
    }
    if (Mix_Music* music = Mix_LoadMUS(fileName)) {
      out.playerSeconds = Mix_MusicDuration(music);
      Mix_FreeMusic(music);
    } else {
      ok = false;
    }
  }
  if (!wasOpen) Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return ok;
}

}  // namespace platform
