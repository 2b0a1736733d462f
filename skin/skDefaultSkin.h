#pragma once
// Our own default skin, "Modern", packed at build time and kept in the program:
// the stored skin the main window carries (FileName and CompressedFileName
// "Modern.skn"). Lives for the process. GUI thread only.

#include "skin/skSkinData.h"

namespace sk {

const TskCompressedStoredSkin& ModernStoredSkin();

}  // namespace sk
