// The program's icon: one PNG per size in the icon theme's layout, showing the hen.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data_files.h"
#include "tools/datagen/icon.h"

namespace {

struct Rgba {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // red, green, blue, alpha
  const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

bool ReadPng(const std::vector<uint8_t>& bytes, Rgba& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (bytes.empty() || !png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) != 0;
}

// The icons sit beside the data folder in the build.
std::string IconPath(int size) {
  const std::string n = std::to_string(size);
  return (std::filesystem::path(DataDir()).parent_path() / "icons" / "hicolor" / (n + "x" + n) / "apps" / "brakkel.png")
      .string();
}

}  // namespace

// Every size is square, transparent outside the rounded tile, opaque inside it, and
// shows the hen's white head, red comb and wattle and yellow beak, each plainly.
TEST(DataIcon, EverySizeShowsTheHenOnAnOpaqueTile) {
  for (int size : datagen::kIconSizes) {
    SCOPED_TRACE(size);
    Rgba icon;
    ASSERT_TRUE(ReadPng(ReadFileBytes(IconPath(size)), icon)) << IconPath(size);
    ASSERT_EQ(icon.width, size);
    ASSERT_EQ(icon.height, size);
    for (int corner = 0; corner < 4; ++corner)
      EXPECT_EQ(icon.At(corner % 2 ? size - 1 : 0, corner / 2 ? size - 1 : 0)[3], 0) << "corner " << corner;
    int seeThrough = 0, white = 0, red = 0, yellow = 0;
    const int from = size / 8, to = size - size / 8;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const uint8_t* p = icon.At(x, y);
        if (x >= from && x < to && y >= from && y < to && p[3] != 255) ++seeThrough;
        if (p[3] < 255) continue;
        if (p[0] > 235 && p[1] > 235 && p[2] > 235) ++white;
        if (p[0] > 200 && p[1] < 80 && p[2] < 80) ++red;
        if (p[0] > 230 && p[1] > 170 && p[1] < 220 && p[2] < 40) ++yellow;
      }
    const int area = size * size;
    EXPECT_EQ(seeThrough, 0);
    EXPECT_GT(white, area / 10);
    EXPECT_GT(red, area / 30);
    EXPECT_GT(yellow, area / 80);
  }
}

// Colours and partial coverage survive the PNG writer unpremultiplied; an empty canvas
// gives no file.
TEST(DataIcon, PngKeepsColoursAndCoverage) {
  datagen::Canvas canvas(3, 2);
  canvas.Set(0, 0, {1, 0, 0});
  canvas.Set(1, 0, {0, 1, 0}, 0.5f);
  canvas.Set(2, 0, {0, 0, 1}, 0);
  canvas.Set(0, 1, {0.2f, 0.4f, 0.6f}, 1);
  Rgba back;
  ASSERT_TRUE(ReadPng(datagen::EncodePng(canvas), back));
  ASSERT_EQ(back.width, 3);
  ASSERT_EQ(back.height, 2);
  const uint8_t expected[6][4] = {{255, 0, 0, 255},    {0, 255, 0, 128}, {0, 0, 0, 0},
                                  {51, 102, 153, 255}, {0, 0, 0, 0},     {0, 0, 0, 0}};
  for (int i = 0; i < 6; ++i)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(back.pixels[static_cast<size_t>(i) * 4 + c], expected[i][c]) << i << " " << c;
  EXPECT_TRUE(datagen::EncodePng(datagen::Canvas(0, 0)).empty());
}
