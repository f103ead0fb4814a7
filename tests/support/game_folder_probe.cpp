// Stands in for an installed game program: enters the game folder as the programs do
// before their window opens, and prints the working directory it ended in.
#include <unistd.h>

#include <cstdio>

#include "platform/game_folder.h"

int main() {
  platform::EnterGameFolder();
  char folder[4096];
  if (!getcwd(folder, sizeof folder)) return 2;
  std::printf("%s\n", folder);
  return 0;
}
