// Background music through SDL_mixer. The end of a play is reported as a queued event
// carrying the play's tag, so a play stopped on purpose is told apart from one that ended.
#include "platform/music.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>

#include "platform/internal.h"

namespace platform {
namespace {

bool audioOpen = false;
bool audioFailed = false;
Mix_Music* music = nullptr;
uint32_t eventType = 0;
uint32_t nextTag = 1;
std::atomic<uint32_t> currentTag{0};
bool muted = false;

// Runs on the audio thread: only queue an event.
void MusicFinished() {
  uint32_t tag = currentTag.exchange(0);
  if (tag == 0 || eventType == 0) return;
  SDL_Event e{};
  e.type = eventType;
  e.user.code = static_cast<int32_t>(tag);
  SDL_PushEvent(&e);
}

bool OpenAudio() {
  if (audioOpen) return true;
  if (audioFailed) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
    audioFailed = true;
    return false;
  }
  Mix_Init(MIX_INIT_MP3);
  Mix_HookMusicFinished(MusicFinished);
  Mix_VolumeMusic(muted ? 0 : MIX_MAX_VOLUME);
  audioOpen = true;
  return true;
}

}  // namespace

uint32_t MusicEventType() {
  if (eventType == 0) {
    StartVideo();
    Uint32 type = SDL_RegisterEvents(1);
    if (type != static_cast<Uint32>(-1)) eventType = type;
  }
  return eventType;
}

uint32_t PlayMusic(const char* fileName) {
  StopMusicPlayback();
  if (!OpenAudio()) return 0;
  MusicEventType();
  music = Mix_LoadMUS(fileName);
  if (!music) return 0;
  uint32_t tag = nextTag++;
  if (nextTag == 0) nextTag = 1;
  currentTag = tag;
  if (Mix_PlayMusic(music, 0) != 0) {
    currentTag = 0;
    Mix_FreeMusic(music);
    music = nullptr;
    return 0;
  }
  return tag;
}

void StopMusicPlayback() {
  currentTag = 0;  // a halted play reports no end
  if (audioOpen) Mix_HaltMusic();
  if (music) Mix_FreeMusic(music);
  music = nullptr;
}

void MuteMusic(bool mute) {
  muted = mute;
  if (audioOpen) Mix_VolumeMusic(muted ? 0 : MIX_MAX_VOLUME);
}

bool MusicMuted() { return muted; }

void CloseMusic() {
  StopMusicPlayback();
  if (audioOpen) {
    Mix_HookMusicFinished(nullptr);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  audioOpen = false;
  audioFailed = false;
}

}  // namespace platform
