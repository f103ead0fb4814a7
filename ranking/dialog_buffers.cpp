// The program-wide buffers the dialogs and the ranking steps share.
#include "ranking/dialogs.h"

char PlayerName[kPlayerNameBytes];
char RankTextBuffer[kRankTextBufferBytes];
int32_t RankTextPrepared = 0;
int32_t DialogOpen = 0;
DialogHandle NameDialogHandle = nullptr;
DialogHandle RankDialogHandle = nullptr;
