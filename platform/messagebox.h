#pragma once
// The modal notice with a caption, a text and an OK button.
#include <functional>

namespace platform {

// Shows the notice and returns when OK is pressed. Without a display, writes the caption
// and text to standard error and returns at once. Texts are code page 949.
void ShowMessageBox(const char* captionCp949, const char* textCp949);

// Tests: replace the notice by a recorder (an empty hook restores the real one).
void SetMessageBoxHook(std::function<void(const char* caption, const char* text)> hook);

}  // namespace platform
