// The name-entry and ranking dialogs: their procedures and the wait that keeps the game
// frozen, its last frame in the window, until the player confirms.
#include "ranking/dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "app/edition.h"
#include "app/played_game.h"
#include "gfx/frame.h"
#include "platform/clock.h"
#include "platform/dialog/dialog.h"
#include "platform/display.h"
#include "platform/files.h"
#include "ranking/dialog_templates.h"
#include "text/cp949.h"
#include "text/texts.h"
#include "wire/rank_text.h"

namespace {

using platform::Dialog;
using platform::IDOK;
using platform::WM_COMMAND;
using platform::WM_INITDIALOG;
using platform::WM_SETFOCUS;

// Between pumps the wait sleeps until the next event, looking up this often at the latest.
constexpr uint32_t kDialogWaitMs = 50;

// Reads the edit into PlayerName: at most the edition's longest name, never half a
// double-byte character, always zero-terminated.
void ReadPlayerName(Dialog* dialog) {
  const size_t longest = static_cast<size_t>(
      std::clamp(Edition.longestName, 0, static_cast<int32_t>(kPlayerNameBytes) - 1));
  platform::GetDialogItemText(dialog, kDialogEditId, PlayerName, longest + 1);
}

intptr_t NameDialogProc(Dialog* dialog, uint32_t message, uint32_t wParam, int32_t /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG: platform::SetDialogItemText(dialog, kDialogEditId, "PlommX"); return 1;
    case WM_SETFOCUS: return 1;
    case WM_COMMAND:
      if ((wParam & 0xFFFF) == IDOK) {
        ReadPlayerName(dialog);
        platform::EndDialog(NameDialogHandle, 1);
        NameDialogHandle = nullptr;
        DialogOpen = 0;
      }
      return 1;  // anything else (Escape) leaves the dialog open
    default: return 0;
  }
}

// soloplay: the listing file's bytes, unchanged (carriage returns included).
void LoadRankText() {
  std::memset(RankTextBuffer, 0, sizeof RankTextBuffer);
  platform::FileProbe probe;
  std::FILE* file = platform::OpenDataFile(kRankTextFileName, probe);
  if (!file) return;
  // A file longer than the buffer's 9999 bytes of text is cut there, at a character boundary.
  const size_t got = std::fread(RankTextBuffer, 1, sizeof RankTextBuffer, file);
  std::fclose(file);
  const size_t keep = Cp949FitLength(RankTextBuffer, got, sizeof RankTextBuffer - 1);
  std::memset(RankTextBuffer + keep, 0, sizeof RankTextBuffer - keep);
}

intptr_t RankDialogProc(Dialog* dialog, uint32_t message, uint32_t wParam, int32_t /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      if (!Edition.onlineRanking && RankTextPrepared == 0) LoadRankText();
      RankTextPrepared = 0;
      RankTextBuffer[sizeof RankTextBuffer - 1] = 0;  // the buffer's last byte is its terminator
      platform::SetDialogItemText(dialog, kDialogEditId, RankTextBuffer);
      // netplay's title is drawn here, before the dialog is first shown, so the template's
      // caption never shows.
      if (Edition.onlineRanking)
        platform::SetDialogCaption(dialog, kRankTitles[CurrentGame().world.random.Next() % 10]);
      return 1;
    case WM_SETFOCUS: return 1;
    case WM_COMMAND:
      if ((wParam & 0xFFFF) == IDOK) {
        platform::EndDialog(RankDialogHandle, 1);
        RankDialogHandle = nullptr;
        DialogOpen = 0;
      }
      return 1;
    default: return 0;
  }
}

// A dialog that the quit left open ends when the next one opens, so that only one dialog
// ever shows and no handle outlives its dialog.
void EndLeftoverDialogs() {
  for (DialogHandle* handle : {&NameDialogHandle, &RankDialogHandle}) {
    platform::EndDialog(*handle, 0);
    *handle = nullptr;
  }
}

// Pumps through the dialog until it is confirmed or the program is quitting; repaints the
// window from the last frame when asked; sleeps until the next event or caret blink.
void WaitForDialog(DialogHandle& handle) {
  // A dialog that could not be made cannot be confirmed: the game goes on without it.
  if (!handle) {
    DialogOpen = 0;
    return;
  }
  while (DialogOpen == 1 && InputState.quit == 0) {
    PumpMessages(&handle);
    if (InputState.repaint) {
      PresentOffscreen();
      InputState.repaint = 0;
    }
    if (DialogOpen != 1 || InputState.quit != 0) break;
    platform::WaitForMessage(std::min(kDialogWaitMs, platform::UpdateDialogs()));
  }
}

}  // namespace

void ShowNameDialog() {
  EndLeftoverDialogs();
  DialogOpen = 1;
  NameDialogHandle = platform::CreateDialogFromTemplate(NameDialogTemplate, NameDialogProc);
  WaitForDialog(NameDialogHandle);
}

void ShowRankDialog() {
  EndLeftoverDialogs();
  DialogOpen = 1;
  RankDialogHandle = platform::CreateDialogFromTemplate(RankDialogTemplate, RankDialogProc);
  WaitForDialog(RankDialogHandle);
}
