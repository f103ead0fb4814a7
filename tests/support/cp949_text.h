#pragma once
// The tests write the system's texts in UTF-8: Cp949("쉬운게임") gives the code page 949
// bytes the game holds. (The converter's own bytes are pinned by the texts test.)
#include <string>
#include <string_view>

#include "text/cp949.h"

inline std::string Cp949(std::string_view utf8) {
  std::string out(utf8.size() + 1, '\0');  // code page 949 is never longer than UTF-8
  out.resize(Utf8ToCp949(utf8.data(), utf8.size(), out.data(), out.size()));
  return out;
}
