#pragma once
// Reading ".ani" sprite files (gfx/ani_format.h) into the sprite banks.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "gfx/sprite.h"

// What became of a sprite file. Only Loaded changes the bank; the loader shows nothing, the
// caller tells the player (app/start_up.h).
enum class SpriteLoad {
  Loaded,      // the file's frames were appended to the bank
  Missing,     // the file cannot be opened
  Foreign,     // not a sprite file, or a damaged one, or more frames than the bank has room for
  NoSuchBank,  // the bank number is outside 0..59: the caller's mistake, not the file's
};

// Appends the file's frames to the bank. The whole file is checked before the bank changes,
// so a file that is not Loaded leaves the bank as it was.
SpriteLoad LoadSpriteFile(int32_t bank, const char* fileName);
// The same from an open stream (left open) and from bytes in memory; never Missing.
SpriteLoad LoadSpriteFromStream(int32_t bank, std::FILE* file);
SpriteLoad LoadSpriteFromMemory(int32_t bank, const uint8_t* data, size_t size);
