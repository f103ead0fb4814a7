#pragma once
// The two modeless dialogs both programs open after a game: the name entry (template 101)
// and the ranking display (template 106). Opening one waits, pumping messages through the
// dialog, until it is confirmed or the program is quitting.
#include <cstddef>
#include <cstdint>

#include "app/window.h"

inline constexpr size_t kPlayerNameBytes = 100;
inline constexpr size_t kRankTextBufferBytes = 10000;

// The name confirmed last (code page 949, zero-terminated); empty at start, kept between games.
extern char PlayerName[kPlayerNameBytes];
// The text the ranking dialog shows: at most 9999 bytes and a terminating zero.
extern char RankTextBuffer[kRankTextBufferBytes];
// soloplay: 1 when the ranking step has already put the text to show into RankTextBuffer
// (the listing file could not be written); the ranking dialog then shows it instead of
// loading the file, and lowers the flag.
extern int32_t RankTextPrepared;
// 1 while a caller waits for a dialog; the dialog's OK clears it.
extern int32_t DialogOpen;
extern DialogHandle NameDialogHandle;
extern DialogHandle RankDialogHandle;

void ShowNameDialog();
void ShowRankDialog();
