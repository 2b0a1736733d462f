#pragma once
// The application's message box is the skin toolkit's; here it takes the
// application's skin for its frame, label and buttons, as msgMain does.

#include "skin/skApplicationSkin.h"
#include "skin/skMessages.h"

namespace app {

using sk::MessageButton;
using sk::MessageKind;
using sk::TskMessageForm;
using sk::mbAbort, sk::mbAll, sk::mbCancel, sk::mbHelp, sk::mbIgnore, sk::mbNo, sk::mbNoToAll, sk::mbOK, sk::mbRetry,
    sk::mbYes, sk::mbYesToAll;
using sk::mkConfirmation, sk::mkCustom, sk::mkError, sk::mkInformation, sk::mkWarning;
using sk::mrCancel, sk::mrOK;

class TskSkinMessage : public sk::TskSkinMessage {
public:
    TskSkinMessage() {
        setSkinData(&sk::applicationSkinData());
        setCtrlSkinData(&sk::applicationSkinData());
        DefaultFont.setPixelSize(15);  // "Arial", height -15 on the main window
        DefaultButtonFont.setPixelSize(15);
    }
};

}  // namespace app
