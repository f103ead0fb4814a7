#include "app/replay_playback.h"

#include <memory>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/replay_verify.h"
#include "app/settings.h"
#include "app/stage_screen.h"
#include "app/start_up.h"
#include "app/window.h"
#include "draw/draw.h"
#include "game/replay_run.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/complain.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/game_folder.h"
#include "replay/replay.h"

namespace {

// Takes the window's messages as the pump does, and the playback's keys among them: a press
// counts even when it is released before the next frame (at 1x a frame lasts 50 ms). True
// when Escape or the window's closing ends the playback; a speed key sets `speed`.
bool TakePlaybackKeys(int32_t& speed) {
  InputState.charArrived = 0;
  bool leave = false;
  platform::Message message;
  while (platform::PollMessage(message)) {
    GameWindowProc(message.message, message.wParam, message.lParam);
    if (message.message != platform::WM_KEYDOWN) continue;
    leave = leave || message.wParam == platform::VK_ESCAPE;
    for (const int32_t choice : kPlaybackSpeeds)
      if (message.wParam == static_cast<uint32_t>('0' + choice)) speed = choice;
  }
  InputState.keyDown[platform::VK_ESCAPE] = 0;
  return leave || InputState.quit != 0;
}

// The folder holding the game's pictures and sprites, entered without copying anything: the
// working directory when it holds game data (a player's own game), else the shipped data.
void EnterDataFolder() {
  if (platform::HoldsGameData(".")) return;
  const std::string data = platform::FindGameData(platform::ProgramPath());
  int fault = 0;
  if (data.empty() || !platform::EnterFolder(data, fault))
    platform::Complain("the game data was not found; the replay is shown without it");
}

}  // namespace

void ShowReplay(const Replay& replay) {
  LoadPicture("back.pcx");
  BuildSpritePalette();
  auto run = std::make_unique<ReplayRun>();
  ReplayRun& game = *run;
  game.Start(replay);
  int32_t prepared = game.run.stage;
  PrepareStageTexts(prepared);
  int32_t speed = 1;
  bool finished = false;
  uint32_t lastFrameTime = platform::Ticks();
  for (;;) {
    if (TakePlaybackKeys(speed)) return;
    if (!finished && game.Step()) {
      DrawWorld(game.world, game.view.drawnScroll);
      if (game.run.stage != prepared) PrepareStageTexts(prepared = game.run.stage);
      ShowStageFrame(game.world, game.view, game.run);
    } else {
      // The game is over: its last picture stays, shown again when the window asks.
      finished = true;
      if (InputState.repaint) PresentOffscreen();
    }
    InputState.repaint = 0;
    lastFrameTime = platform::WaitUntilElapsed(lastFrameTime, finished ? kStageFrameMs : kStageFrameMs / speed);
  }
}

namespace {

// Opens the window the remembered settings and `options` choose, where the game data is, and
// shows the game; 0 once it is ended, 1 when no window could be opened.
int ShowInWindow(const Replay& replay, const GameOptions& options) {
  // The remembered settings are read, never written: what changes while watching is forgotten.
  const std::string settingsFile = platform::UserSettingsFile();
  const Settings settings = SettingsForRun(settingsFile.empty() ? Settings{} : LoadSettings(settingsFile), options);
  platform::ChooseWindow({settings.scale, settings.fullscreen});
  EnterDataFolder();
  if (!OpenGameWindowOrSay("")) return 1;
  LoadGameSprites();
  ShowReplay(replay);
  FreeSpriteBanks();
  CloseGameWindow();
  return 0;
}

}  // namespace

int PlayReplayFile(const GameOptions& options) {
  Replay replay;
  std::string error;
  if (!LoadReplayFile(options.replayFile.c_str(), replay, error)) {
    platform::Complain("%s: %s", options.replayFile.c_str(), error.c_str());
    return 2;
  }
  return ShowInWindow(replay, options);
}

int WatchListedReplay(const GameOptions& options) {
  std::vector<uint8_t> bytes;
  if (!Edition.listedReplayFetch(options.watchMode, options.watchPlace, bytes)) return 1;
  Replay replay;
  std::string error;
  if (!DecodeReplayBytes(bytes, replay, error)) {
    platform::Complain("the replay of %s place %d from the ranking server is refused: %s",
                       ReplayModeName(options.watchMode), static_cast<int>(options.watchPlace), error.c_str());
    return 1;
  }
  return ShowInWindow(replay, options);
}
