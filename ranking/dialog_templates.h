#pragma once
// The two dialogs the game opens after a game: the name entry (101) and the ranking
// display (106).
#include <cstdint>

#include "platform/dialog/dialog.h"

inline constexpr int32_t kNameDialogId = 101;
inline constexpr int32_t kRankDialogId = 106;
// The edit control of both dialogs: the name typed, or the ranking listing shown.
inline constexpr int32_t kDialogEditId = 1020;

extern const platform::DialogTemplate NameDialogTemplate;
extern const platform::DialogTemplate RankDialogTemplate;
