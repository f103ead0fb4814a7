#pragma once
// Shared between the platform's own libraries only: its core, and dialog/, ime/ and testing/
// under it.
#include <SDL_keyboard.h>
#include <SDL_rect.h>
#include <SDL_scancode.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

struct SDL_Window;

namespace platform {

// The game window, or null while none is open (message boxes belong to it).
SDL_Window* GameWindow();

// Starts SDL's video and event subsystems once (no window). False when it cannot.
bool StartVideo();
// True between StartVideo and CloseDisplay.
bool VideoStarted();
// The registered SDL event type that carries "music finished" (0 until registered).
uint32_t MusicEventType();
// Shift is held, as of the latest key message taken from the queue.
bool ShiftHeld();
// The virtual-key code of an SDL key (0: one the game does not know); the keypad's digits
// and point give the number keys with NumLock on, else the navigation keys printed on them.
uint32_t VirtualKeyFromScancode(SDL_Scancode sc, bool numLock);
// The character a key types on a US keyboard, as its modifiers have it (ASCII; 0 for none),
// and the key that types an ASCII character (SDL_SCANCODE_UNKNOWN for none).
char TypedCharacter(const SDL_Keysym& keysym);
SDL_Scancode ScancodeTyping(char c);
// Where the latest presentation put the picture in the window's surface.
struct PictureRect;
const PictureRect& ShownPicture();
// A rectangle of the picture (client coordinates) as it lies in the window, scaled and moved.
SDL_Rect ClientRectInWindow(const SDL_Rect& r);
// How many pictures have been sent to the window so far.
uint32_t PicturesSent();

// Copies a zero-terminated text into a fixed field, cut to fit with its terminator.
template <size_t N>
void CopyText(char (&field)[N], const char* text) {
  size_t n = std::strlen(text);
  if (n > N - 1) n = N - 1;
  std::memcpy(field, text, n);
  field[n] = 0;
}

// The file of the game's face, NanumGothicCoding: fontconfig's match on Linux, the copy in the
// game data beside the program on Windows. Empty when there is none.
std::string FindGameFace();

// XRGB8888 pixels with a clip rectangle (right and bottom exclusive).
struct Canvas {
  uint32_t* pixels = nullptr;
  int pitch = 0;  // in pixels
  int left = 0, top = 0, right = 0, bottom = 0;
};
// Paints one glyph of the game face with its cell's top-left corner at (x, y), clipped to
// the canvas, and returns its advance. A canvas without pixels only measures.
int DrawGlyphOn(const Canvas& canvas, int cellHeight, int x, int y, uint32_t codepoint, uint32_t colour);

}  // namespace platform
