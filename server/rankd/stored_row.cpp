// Reading a kept score's columns: every byte checked, nothing taken on trust.
#include "server/rankd/stored_row.h"

#include <cstdint>
#include <string>
#include <utility>

namespace rankd {
namespace {

// A decimal integer, all of the text, between `low` and `high`.
bool Number(std::string_view text, int64_t low, int64_t high, int64_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 18) return false;  // 18 digits fit an int64 without overflow
  int64_t magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
  }
  value = negative ? -magnitude : magnitude;
  return value >= low && value <= high;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// bytea's hex output: "\x" and two digits a byte.
bool Bytes(std::string_view text, std::string& bytes) {
  if (text.size() < 2 || text[0] != '\\' || text[1] != 'x' || text.size() % 2 != 0) return false;
  if ((text.size() - 2) / 2 < 1 || (text.size() - 2) / 2 > kLongestName) return false;
  bytes.clear();
  for (size_t i = 2; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

}  // namespace

bool ScoreFromColumns(const std::string_view (&columns)[6], Score& score) {
  int64_t mode, stage, value, combo, seconds;
  Score read;
  if (!Number(columns[0], 0, kModes - 1, mode) || !Bytes(columns[1], read.name) ||
      !Number(columns[2], INT32_MIN, INT32_MAX, stage) || !Number(columns[3], 0, UINT32_MAX, value) ||
      !Number(columns[4], INT32_MIN, INT32_MAX, combo) || !Number(columns[5], 0, UINT32_MAX, seconds)) {
    return false;
  }
  read.mode = static_cast<int>(mode);
  read.stage = static_cast<int32_t>(stage);
  read.score = static_cast<uint32_t>(value);
  read.bestCombo = static_cast<int32_t>(combo);
  read.playSeconds = static_cast<uint32_t>(seconds);
  score = std::move(read);
  return true;
}

}  // namespace rankd
