#pragma once
// The skin every window of the program draws with. The data lives for the
// process (windows and the style point to it); the main window that installs
// it is its owner for the notifications. GUI thread only.

#include <string>

class QWidget;

namespace sk {

class TskSkinData;
class TskSkinStyle;

TskSkinData& applicationSkinData();
// The skinned style, once installApplicationSkin has run; else nullptr.
TskSkinStyle* applicationSkinStyle();

// Installs the skinned style on the application (once), makes owner the
// skin data's owner and applies the stored default skin, Modern.skn.
void installApplicationSkin(QWidget* owner);

}  // namespace sk
