#include "platform/folders.h"

#include <gtest/gtest.h>

#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ScopedEnvironment;
using test::TestFolder;

TEST(Folders, TheConfigurationFolderFollowsZtliveHomeThenXdgThenHome) {
  TestFolder folder;
  ScopedEnvironment home("HOME", folder.Path());
  {
    ScopedEnvironment own("ZTLIVE_HOME", folder.File("own"));
    ScopedEnvironment xdg("XDG_CONFIG_HOME", folder.File("xdg"));
    EXPECT_EQ(ConfigFolder(), folder.File("own"));
    EXPECT_EQ(SettingsFilePath(), folder.File("own/settings.ini"));
    EXPECT_EQ(PresetFilePath(), folder.File("own/ZTLiveDemoPresets.ini"));
  }
  ScopedEnvironment own("ZTLIVE_HOME", std::nullopt);
  {
    ScopedEnvironment xdg("XDG_CONFIG_HOME", folder.File("xdg"));
    EXPECT_EQ(ConfigFolder(), folder.File("xdg/ZT-Live"));
  }
  ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(ConfigFolder(), folder.File(".config/ZT-Live"));
}

TEST(Folders, TheDefaultTemporaryFolderIsCreatedOnFirstUse) {
  TestFolder folder;
  ScopedEnvironment home("HOME", folder.Path());
  ScopedEnvironment own("ZTLIVE_HOME", std::nullopt);
  {
    ScopedEnvironment cache("XDG_CACHE_HOME", folder.File("cache"));
    EXPECT_EQ(DefaultTempFolder(), folder.File("cache/ZT-Live/tmp"));
    EXPECT_TRUE(FolderExists(folder.File("cache/ZT-Live/tmp")));
  }
  ScopedEnvironment cache("XDG_CACHE_HOME", std::nullopt);
  EXPECT_EQ(DefaultTempFolder(), folder.File(".cache/ZT-Live/tmp"));
  EXPECT_TRUE(FolderExists(folder.File(".cache/ZT-Live/tmp")));
}

TEST(Folders, EnsureFolderMakesParentsAndRefusesAFileInTheWay) {
  TestFolder folder;
  EXPECT_EQ(EnsureFolder(folder.File("a/b/c")), 0);
  EXPECT_TRUE(FolderExists(folder.File("a/b/c")));
  EXPECT_EQ(EnsureFolder(folder.File("a/b/c/")), 0);
  test::WriteFileText(folder.File("file"), "x");
  EXPECT_NE(EnsureFolder(folder.File("file/sub")), 0);
  EXPECT_EQ(JoinPath("/x/", "y"), "/x/y");
  EXPECT_EQ(JoinPath("/x", "y"), "/x/y");
}

}  // namespace
}  // namespace ztlive
