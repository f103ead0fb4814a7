#pragma once
// Shared between the platform's own files only.
#include <cstdint>

namespace platform {

// Starts SDL's video and event subsystems once (no window). False when it cannot.
bool StartVideo();
// The registered SDL event type that carries "music finished" (0 until registered).
uint32_t MusicEventType();

}  // namespace platform
