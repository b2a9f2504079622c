#include "portable/JoinPath.h"

#include <gtest/gtest.h>

namespace {

TEST(JoinPath, SplitsAPathIntoItsFolderAndJoinsThemAgain) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\Trad\\juego.smc", "C:\\Trad", "juego.smc"},
        {"C:\\juego.smc", "C:\\", "juego.smc"},
        {"\\\\servidor\\roms\\mi juego (E).smc", "\\\\servidor\\roms", "mi juego (E).smc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(JoinPath(FolderOf(c.path), c.name), c.path);
    }
    EXPECT_EQ(FolderOf("D:/roms/juego.smc"), "D:/roms");
    EXPECT_EQ(FolderOf("juego.smc"), "");
}

} // namespace
