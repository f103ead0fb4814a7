#pragma once
// Saving the picture the player sees.

namespace platform {

// Saves the picture as the player sees it (the 640x480 frame last shown, the open dialogs
// over it; black before the first frame) as screenshots/YYYYMMDD-HHMMSS.png under the
// working directory, the game folder (local time; -2, -3 ... when a picture of that second
// is there), and says "screenshot: PATH" on standard output. A folder or file that cannot be
// had or written gives one line on standard error and false.
bool SaveScreenshot();

}  // namespace platform
