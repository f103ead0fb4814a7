// The dialog templates as data: caption, font, position and size in dialog units relative to
// the game window's client area, style, and the controls in their tab order.
#include "res/dialog_templates.h"

using namespace platform;

namespace {

const ControlTemplate nameControls[] = {
    {ControlClass::Edit, kDialogEditId, "", 0, 0, 106, 15,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
};

const ControlTemplate rankControls[] = {
    // "확인"
    {ControlClass::Button, static_cast<int32_t>(IDOK), "\xc8\xae\xc0\xce", 7, 219, 256, 14,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    // "Brakkel 순위"
    {ControlClass::Button, -1, "Brakkel \xbc\xf8\xc0\xa7", 7, 7, 252, 208,
     WS_CHILD | WS_VISIBLE | BS_GROUPBOX},
    {ControlClass::Edit, kDialogEditId, "", 18, 23, 232, 185,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN},
};

}  // namespace

const DialogTemplate NameDialogTemplate = {
    kNameDialogId,
    // "이름을 입력하세요 -순위 진입-"
    "\xc0\xcc\xb8\xa7\xc0\xbb \xc0\xd4\xb7\xc2\xc7\xcf\xbc\xbc\xbf\xe4 -\xbc\xf8\xc0\xa7 \xc1\xf8\xc0\xd4-",
    9,
    "\xb1\xbc\xb8\xb2",  // "굴림"
    100, 180, 107, 15,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT,
    nameControls,
    1,
};

const DialogTemplate RankDialogTemplate = {
    kRankDialogId,
    // "닭은 삶아야 맛인가!!!"
    "\xb4\xdf\xc0\xba \xbb\xee\xbe\xc6\xbe\xdf \xb8\xc0\xc0\xce\xb0\xa1!!!",
    6,
    "Fixed08",
    6, 6, 270, 240,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
    rankControls,
    3,
};
