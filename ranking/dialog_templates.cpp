// The dialog templates as data: caption, font, position and size in dialog units relative to
// the game window's client area, style, and the controls in their tab order.
#include "ranking/dialog_templates.h"

#include "text/texts.h"

using namespace platform;

namespace {

const ControlTemplate nameControls[] = {
    {ControlClass::Edit, kDialogEditId, "", 0, 0, 106, 15,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
};

const ControlTemplate rankControls[] = {
    {ControlClass::Button, static_cast<int32_t>(IDOK), kRankDialogButton, 7, 219, 256, 14,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ControlClass::Button, -1, kRankDialogGroup, 7, 7, 252, 208, WS_CHILD | WS_VISIBLE | BS_GROUPBOX},
    {ControlClass::Edit, kDialogEditId, "", 18, 23, 232, 185,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN},
};

}  // namespace

const DialogTemplate NameDialogTemplate = {
    kNameDialogId,
    kNameDialogCaption,
    9,
    kNameDialogFont,
    100,
    180,
    107,
    15,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT,
    nameControls,
    1,
};

const DialogTemplate RankDialogTemplate = {
    kRankDialogId,
    kRankDialogCaption,
    6,
    "Fixed08",
    6,
    6,
    270,
    240,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
    rankControls,
    3,
};
