// The program-wide buffers the dialogs and the ranking steps share.
#include "ranking/dialogs.h"

char playerName[kPlayerNameBytes];
char rankTextBuffer[kRankTextBufferBytes];
int32_t rankTextPrepared = 0;
int32_t dialogOpen = 0;
DialogHandle nameDialogHandle = nullptr;
DialogHandle rankDialogHandle = nullptr;
