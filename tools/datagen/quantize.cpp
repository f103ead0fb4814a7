#include "tools/datagen/quantize.h"

#include <algorithm>
#include <cmath>

#include "gfx/sprite_palette.h"

namespace datagen {

namespace {

struct Bin {
  int c[3];       // 5-bit colour
  double weight;  // number of pixels
};

struct Box {
  size_t begin, end;  // range of bins
  double error;       // weighted squared spread around the mean
  int axis;           // component with the widest spread
};

int Key(int r, int g, int b) { return (r << 10) | (g << 5) | b; }

int Clamp31(float v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 31); }

// Perceptual-ish weights for comparing colours.
int Distance(const int a[3], const int b[3]) {
  int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
  return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

Box MeasureBox(const std::vector<Bin>& bins, size_t begin, size_t end) {
  double weight = 0, sum[3] = {0, 0, 0}, sumSq[3] = {0, 0, 0};
  for (size_t i = begin; i < end; ++i) {
    for (int k = 0; k < 3; ++k) {
      sum[k] += bins[i].c[k] * bins[i].weight;
      sumSq[k] += static_cast<double>(bins[i].c[k]) * bins[i].c[k] * bins[i].weight;
    }
    weight += bins[i].weight;
  }
  Box box{begin, end, 0, 0};
  double best = -1;
  for (int k = 0; k < 3; ++k) {
    double spread = sumSq[k] - sum[k] * sum[k] / weight;
    box.error += spread;
    if (spread > best) {
      best = spread;
      box.axis = k;
    }
  }
  if (end - begin < 2) box.error = 0;
  return box;
}

const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

}  // namespace

int ReservedIndex(const ReservedColours& reserved, uint8_t tag) {
  int index = 0;
  for (const auto& entry : reserved) {
    if (entry.first == tag) return index;
    ++index;
  }
  return -1;
}

namespace {

// The free (not reserved) pixels' colours in 5 bits, each with its pixel count, in key order.
std::vector<Bin> CollectBins(const Canvas& canvas, const ReservedColours& reserved) {
  std::vector<double> histogram(32768, 0.0);
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) {
      if (reserved.count(canvas.Tag(x, y))) continue;
      Rgb c = canvas.Colour(x, y);
      histogram[static_cast<size_t>(Key(Clamp31(c.r * 31), Clamp31(c.g * 31), Clamp31(c.b * 31)))] += 1;
    }
  std::vector<Bin> bins;
  for (int key = 0; key < 32768; ++key)
    if (histogram[static_cast<size_t>(key)] > 0)
      bins.push_back({{key >> 10, (key >> 5) & 31, key & 31}, histogram[static_cast<size_t>(key)]});
  return bins;
}

// Median cut: splits the box with the largest spread at its weighted median until there
// are 'count' boxes or none can be split. Reorders 'bins' so that every box is a range.
std::vector<Box> MedianCut(std::vector<Bin>& bins, size_t count) {
  std::vector<Box> boxes;
  if (!bins.empty()) boxes.push_back(MeasureBox(bins, 0, bins.size()));
  while (boxes.size() < count) {
    auto worst = std::max_element(boxes.begin(), boxes.end(),
                                  [](const Box& a, const Box& b) { return a.error < b.error; });
    if (worst == boxes.end() || worst->error <= 0) break;
    Box box = *worst;
    int axis = box.axis;
    std::sort(bins.begin() + static_cast<long>(box.begin), bins.begin() + static_cast<long>(box.end),
              [axis](const Bin& a, const Bin& b) {
                if (a.c[axis] != b.c[axis]) return a.c[axis] < b.c[axis];
                return Key(a.c[0], a.c[1], a.c[2]) < Key(b.c[0], b.c[1], b.c[2]);
              });
    double total = 0;
    for (size_t i = box.begin; i < box.end; ++i) total += bins[i].weight;
    double running = 0;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i < box.end - 1; ++i) {
      running += bins[i].weight;
      cut = i + 1;
      if (running >= total / 2) break;
    }
    *worst = MeasureBox(bins, box.begin, cut);
    boxes.push_back(MeasureBox(bins, cut, box.end));
  }
  return boxes;
}

using Means = std::vector<std::array<float, 3>>;

// The weighted mean colour of each box.
Means BoxMeans(const std::vector<Bin>& bins, const std::vector<Box>& boxes) {
  Means means;
  for (const Box& box : boxes) {
    double weight = 0, sum[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i) {
      for (int k = 0; k < 3; ++k) sum[k] += bins[i].c[k] * bins[i].weight;
      weight += bins[i].weight;
    }
    means.push_back({static_cast<float>(sum[0] / weight), static_cast<float>(sum[1] / weight),
                     static_cast<float>(sum[2] / weight)});
  }
  return means;
}

// A few k-means rounds over the histogram pull the entries onto the colours used.
void RefineMeans(const std::vector<Bin>& bins, Means& means) {
  for (int round = 0; round < 4 && !means.empty(); ++round) {
    std::vector<std::array<double, 4>> acc(means.size(), {0, 0, 0, 0});
    for (const Bin& bin : bins) {
      size_t best = 0;
      float bestD = 1e30f;
      for (size_t m = 0; m < means.size(); ++m) {
        float dr = bin.c[0] - means[m][0], dg = bin.c[1] - means[m][1], db = bin.c[2] - means[m][2];
        float d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < bestD) {
          bestD = d;
          best = m;
        }
      }
      for (int k = 0; k < 3; ++k) acc[best][static_cast<size_t>(k)] += bin.c[k] * bin.weight;
      acc[best][3] += bin.weight;
    }
    for (size_t m = 0; m < means.size(); ++m)
      if (acc[m][3] > 0)
        for (int k = 0; k < 3; ++k)
          means[m][static_cast<size_t>(k)] = static_cast<float>(acc[m][static_cast<size_t>(k)] / acc[m][3]);
  }
}

using Entries = std::vector<std::array<int, 3>>;

// The nearest entry from 'firstFree' on to a 5-bit colour.
int NearestEntry(const Entries& entries, size_t firstFree, const int q[3]) {
  int best = static_cast<int>(firstFree), bestD = 1 << 30;
  for (size_t i = firstFree; i < entries.size(); ++i) {
    int e[3] = {entries[i][0], entries[i][1], entries[i][2]};
    int d = Distance(q, e);
    if (d < bestD) {
      bestD = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

// Maps every pixel: reserved tags to their entries, the others dithered to the nearest
// free entry; a cache remembers the nearest free entry of each 5-bit colour.
void MapPixels(const Canvas& canvas, const ReservedColours& reserved, const Entries& entries, size_t firstFree,
               IndexedPicture& out) {
  std::vector<int16_t> nearest(32768, -1);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      size_t at = static_cast<size_t>(y) * out.width + x;
      int forced = ReservedIndex(reserved, canvas.Tag(x, y));
      if (forced >= 0) {
        out.pixels[at] = static_cast<uint8_t>(forced);
        continue;
      }
      Rgb c = canvas.Colour(x, y);
      float offset = (static_cast<float>(kBayer[y & 3][x & 3]) + 0.5f) / 16.0f - 0.5f;
      int q[3] = {Clamp31(c.r * 31 + offset), Clamp31(c.g * 31 + offset), Clamp31(c.b * 31 + offset)};
      int key = Key(q[0], q[1], q[2]);
      if (nearest[static_cast<size_t>(key)] < 0)
        nearest[static_cast<size_t>(key)] = static_cast<int16_t>(NearestEntry(entries, firstFree, q));
      out.pixels[at] = static_cast<uint8_t>(nearest[static_cast<size_t>(key)]);
    }
}

}  // namespace

IndexedPicture QuantizePicture(const Canvas& canvas, const ReservedColours& reserved) {
  IndexedPicture out;
  out.width = canvas.Width();
  out.height = canvas.Height();
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0);

  std::vector<Bin> bins = CollectBins(canvas, reserved);
  Means means = BoxMeans(bins, MedianCut(bins, 256 - reserved.size()));
  RefineMeans(bins, means);

  // Palette: reserved colours first, then the cut colours; unused entries stay black.
  Entries entries;
  for (const auto& entry : reserved)
    entries.push_back({Clamp31(entry.second.r * 31), Clamp31(entry.second.g * 31), Clamp31(entry.second.b * 31)});
  const size_t firstFree = entries.size();
  for (const auto& m : means) entries.push_back({Clamp31(m[0]), Clamp31(m[1]), Clamp31(m[2])});
  for (size_t i = 0; i < entries.size() && i < 256; ++i)
    for (int k = 0; k < 3; ++k)
      out.palette[i * 3 + static_cast<size_t>(k)] = Widen5(entries[i][static_cast<size_t>(k)]);

  MapPixels(canvas, reserved, entries, firstFree, out);
  return out;
}

Rgb5 SpriteColour5(int index) {
  const uint8_t* c = SpriteColourTable[index];
  return {static_cast<uint8_t>((c[0] >> 1) & 31), static_cast<uint8_t>((c[1] >> 1) & 31),
          static_cast<uint8_t>((c[2] >> 1) & 31)};
}

uint8_t NearestSpriteIndex(Rgb c) {
  int q[3] = {Clamp31(c.r * 31), Clamp31(c.g * 31), Clamp31(c.b * 31)};
  int best = 0, bestD = 1 << 30;
  for (int i = 0; i < 255; ++i) {
    if (i == kTintIndex) continue;
    Rgb5 s = SpriteColour5(i);
    int e[3] = {s.r, s.g, s.b};
    int d = Distance(q, e);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

SpriteImage QuantizeSprite(const Canvas& canvas, uint8_t tintTag, uint8_t shadeTag, uint8_t shadeIndex) {
  SpriteImage out;
  out.width = canvas.Width();
  out.height = canvas.Height();
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, kTransparent);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      if (canvas.Alpha(x, y) < 0.5f) continue;
      uint8_t tag = canvas.Tag(x, y);
      if (tintTag != 0 && tag == tintTag)
        out.At(x, y) = kTintIndex;
      else if (shadeTag != 0 && tag == shadeTag)
        out.At(x, y) = ((x + y) % 2 == 0 && y % 2 == 0) ? shadeIndex : kTintIndex;
      else
        out.At(x, y) = NearestSpriteIndex(canvas.Colour(x, y));
    }
  return out;
}

void AddOutline(SpriteImage& image, uint8_t colour) {
  SpriteImage source = image;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      if (source.At(x, y) != kTransparent) continue;
      bool touches = (x > 0 && source.At(x - 1, y) != kTransparent) ||
                     (x + 1 < image.width && source.At(x + 1, y) != kTransparent) ||
                     (y > 0 && source.At(x, y - 1) != kTransparent) ||
                     (y + 1 < image.height && source.At(x, y + 1) != kTransparent);
      if (touches) image.At(x, y) = colour;
    }
}

}  // namespace datagen
