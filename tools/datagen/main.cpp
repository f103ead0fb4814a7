// Draws the game's pictures and sprites and composes its music, into one folder:
//   brakkel_datagen OUTPUT_FOLDER [--preview SHEET.png] [--icons ICON_FOLDER]
// ICON_FOLDER receives the program's icon as hicolor/<N>x<N>/apps/brakkel.png.
// The same program and font always give the same bytes.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/text.h"
#include "tools/datagen/formats.h"
#include "tools/datagen/icon.h"
#include "tools/datagen/mp3.h"
#include "tools/datagen/music.h"
#include "tools/datagen/pictures.h"
#include "tools/datagen/preview.h"
#include "tools/datagen/sprites.h"

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "brakkel_datagen: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage = "usage: brakkel_datagen OUTPUT_FOLDER [--preview SHEET.png] [--icons ICON_FOLDER]";
  std::string folder, preview, icons;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc)
      preview = argv[++i];
    else if (std::strcmp(argv[i], "--icons") == 0 && i + 1 < argc)
      icons = argv[++i];
    else if (folder.empty() && argv[i][0] != '-')
      folder = argv[i];
    else
      return Fail(usage);
  }
  if (folder.empty()) return Fail(usage);
  if (!platform::LoadGameFont()) return Fail("the game's Korean font (NanumGothicCoding) was not found");

  using namespace datagen;
  bool logoOk = false, menuOk = false;
  PictureSet pictures{DrawLogo(logoOk), DrawLevelMenu(menuOk), DrawField()};
  if (!logoOk || !menuOk) return Fail("the font rendered no text");
  SpriteSet sprites = DrawSprites();

  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::string base = folder + "/";
  const struct {
    const char* name;
    Bytes bytes;
  } files[] = {
      {"logo.pcx", EncodePcx(pictures.logo)}, {"level.pcx", EncodePcx(pictures.level)},
      {"back.pcx", EncodePcx(pictures.back)}, {"chicken.ani", EncodeAni(sprites.body)},
      {"foot.ani", EncodeAni(sprites.feet)},  {"mop.ani", EncodeAni(sprites.mobs)},
      {"bgm.mp3", EncodeMp3(ComposeMusic())},
  };
  for (const auto& file : files) {
    if (file.bytes.empty()) return Fail(std::string("could not make ") + file.name);
    if (!WriteFile(base + file.name, file.bytes)) return Fail("cannot write " + base + file.name);
  }
  if (!icons.empty() && !WriteIcons(icons)) return Fail("cannot write the icons into " + icons);
  if (!preview.empty() && !WritePreview(preview, pictures, sprites)) return Fail("cannot write " + preview);
  platform::CloseGameFont();
  return 0;
}
