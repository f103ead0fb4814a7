/* Does the Windows build of the SDL family start? SDL's video (a window shown and drawn
   once), SDL_ttf, SDL_mixer with MP3 and SDL_image with PNG, each reported on one line.
   Exits 0 when every part started. Built and run under Wine by sdl-probe.sh. */
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <stdio.h>

static int Report(const char* what, int ok) {
  if (ok)
    printf("%-6s ok\n", what);
  else
    printf("%-6s FAILED: %s\n", what, SDL_GetError());
  return ok ? 0 : 1;
}

static int ProbeVideo(void) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return Report("video", 0);
  printf("video  driver %s, %d display(s)\n", SDL_GetCurrentVideoDriver(), SDL_GetNumVideoDisplays());
  SDL_Window* window = SDL_CreateWindow("probe", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 320, 200, 0);
  if (!window) return Report("window", 0);
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  int ok = surface && SDL_FillRect(surface, NULL, SDL_MapRGB(surface->format, 255, 200, 0)) == 0 &&
           SDL_UpdateWindowSurface(window) == 0;
  SDL_DestroyWindow(window);
  return Report("window", ok);
}

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  int failures = ProbeVideo();
  failures += Report("ttf", TTF_Init() == 0);
  failures += Report("mp3", (Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) != 0);
  failures += Report("png", (IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) != 0);
  TTF_Quit();
  Mix_Quit();
  IMG_Quit();
  SDL_Quit();
  return failures == 0 ? 0 : 1;
}
