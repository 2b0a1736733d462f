// skintool as a person runs it: pack a folder, dump the file, refuse what
// cannot make a skin.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "SkinTestFiles.h"
#include "skin/skSkinData.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun skintool(const std::string& arguments, const fs::path& scratch) {
    const fs::path out = scratch / "tool.out";
    const std::string command = std::string(TESSALY_SKINTOOL) + " " + arguments + " > " + out.string() + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(out);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
}

const char* kDescription =
    "[VERSION]\nskinname=Tool\nskinauthor=us\n"
    "[PICTURES]\npicture=frame.bmp\nactivepicturescount=1\n0=controls.bmp\n"
    "[FORMINFO]\nlefttoppoint=2,2\n"
    "[SKINOBJECTS]\ncount=1\n0=close:button\n"
    "[SKINCONTROLS]\ncount=2\n0=button:button\n1=vscrollbar:scrollbar\n"
    "[button]\npictureindex=0\nskinrect=0,0,20,23\n";

}  // namespace

TEST(Skintool, PacksAFolderAndDumpsWhatTheReaderSees) {
    const fs::path dir = skintest::scratchFolder("tool");
    skintest::writeText(dir / "skin.ini", kDescription);
    skintest::writeFile(dir / "frame.bmp", sk::encodeBmp(skintest::pattern(40, 30)));
    skintest::writeFile(dir / "controls.bmp", sk::encodeBmp(skintest::pattern(20, 46, 3)));
    const fs::path file = dir / "out.skn";
    ToolRun run = skintool("pack " + dir.string() + " " + file.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;

    sk::TskSkinData data;
    data.ApplyCompressedSkinFile(file.string());
    ASSERT_FALSE(data.Empty());
    EXPECT_EQ(data.Picture, skintest::pattern(40, 30));
    EXPECT_EQ(data.ActivePictures.at(0), skintest::pattern(20, 46, 3));
    EXPECT_EQ(data.FindControlEntry("vscrollbar"), 1);

    run = skintool("dump " + file.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* line : {"package version: 3\n", "skin: Tool by us\n", "picture: 40 x 30 (frame.bmp)\n",
                             "inactive picture: none\n", "mask: none\n", "active picture 0: 20 x 46 (controls.bmp)\n",
                             "objects: 1\n", "  object button: close\n", "controls: 2\n",
                             "  control button: button rect 0,0,20,23\n", "  control scrollbar: vscrollbar"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\nin:\n" << run.output;

    // Without one of the five sections there is no skin to write.
    std::string text = kDescription;
    text.replace(text.find("[FORMINFO]"), 10, "[FORM]");
    skintest::writeText(dir / "skin.ini", text);
    run = skintool("pack " + dir.string() + " " + (dir / "bad.skn").string(), dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("no section FORMINFO"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir / "bad.skn"));
    // A corrupt file is reported, not dumped.
    skintest::writeFile(dir / "bad.skn", {3, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 4});
    run = skintool("dump " + (dir / "bad.skn").string(), dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Decompression error"), std::string::npos) << run.output;
    EXPECT_EQ(skintool("", dir).exitCode, 2);
    fs::remove_all(dir);
}
