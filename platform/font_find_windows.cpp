// The game's face on Windows: NanumGothicCoding.ttf shipped in the game data beside the
// program (Windows has no monospaced Korean face of the 12/24 cells the layout needs).
#include "platform/files.h"
#include "platform/game_folder.h"
#include "platform/internal.h"

namespace platform {

inline constexpr const char kGameFaceFile[] = "NanumGothicCoding.ttf";

std::string FindGameFace() {
  const std::string data = FindGameData(ProgramPath());
  if (!data.empty() && IsRegularFile(data + "/" + kGameFaceFile)) return data + "/" + kGameFaceFile;
  return {};
}

}  // namespace platform
