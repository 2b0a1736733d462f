#pragma once
// The error dialog's position, size and module-list column widths, kept in
// QuillLog.ini ([Coordinates]) in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config). GUI thread only.

#include <QString>
#include <array>

namespace crashreport {

struct TDialogPlacement {
    static constexpr int kDefaultHeight = 385;
    static constexpr int kDefaultWidth = 560;
    static constexpr std::array<int, 6> kDefaultColumns = {80, 100, 130, 65, 65, 150};

    int left = -1, top = -1;  // -1: not stored yet (centre on the screen)
    int width = kDefaultWidth, height = kDefaultHeight;
    std::array<int, 6> columns = kDefaultColumns;

    static QString filePath();
    static TDialogPlacement load();
    void save() const;
};

}  // namespace crashreport
