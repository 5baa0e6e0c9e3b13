#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/folders.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ScopedEnvironment;
using test::TestFolder;
using test::WriteFileText;

TEST(SettingsInt, DecimalAndHexadecimalTextsWithin32Bits) {
  EXPECT_EQ(ParseSettingInt("7"), 7);
  EXPECT_EQ(ParseSettingInt(" -40 "), -40);
  EXPECT_EQ(ParseSettingInt("+12"), 12);
  EXPECT_EQ(ParseSettingInt("0x00c0c0c0"), 0x00c0c0c0);
  EXPECT_EQ(ParseSettingInt("0XFF"), 255);
  EXPECT_EQ(ParseSettingInt("0xFFFFFFFF"), -1) << "all 32 bits set, as a register value";
  EXPECT_EQ(ParseSettingInt("4294967295"), -1);
  EXPECT_EQ(ParseSettingInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseSettingInt("0"), 0);
  for (const char* bad : {"", "  ", "-", "0x", "12abc", "1 2", "0x1FFFFFFFF", "4294967296",
                          "-2147483649", "3.0", "ten"})
    EXPECT_FALSE(ParseSettingInt(bad)) << '"' << bad << '"';
}

TEST(SettingsStore, MissingAndUnparsableKeysReadAsTheirDefaults) {
  TestFolder folder;
  const std::string path = folder.File("settings.ini");
  SettingsStore store(path);
  EXPECT_EQ(store.Read(setting::kPreRollBuffs), 7);
  EXPECT_EQ(store.Read(setting::kMaxUndoLevs), 10);
  EXPECT_EQ(store.Read(setting::kDispWindowLastXPos), -1);
  EXPECT_EQ(store.Read(setting::kWarningFlags), "0xFFFFFFFF");
  EXPECT_EQ(store.Read(setting::kSilenceLength), "3.0");
  EXPECT_EQ(store.Read(setting::kLastPath), "");

  WriteFileText(path, "[zanto]\nPreRollBuffs=lots\nMaxUndoLevs=0x14\nNudge=\n");
  EXPECT_EQ(store.Read(setting::kPreRollBuffs), 7);
  EXPECT_EQ(store.Read(setting::kMaxUndoLevs), 20);
  EXPECT_EQ(store.Read(setting::kNudge), 100);
  EXPECT_EQ(ParseSettingInt(store.Read(setting::kWarningFlags)).value(), -1);
}

TEST(SettingsStore, ZantoAndZANTOAreOneSection) {
  TestFolder folder;
  SettingsStore store(folder.File("settings.ini"));
  ASSERT_EQ(store.Write(setting::kSilencePaste, 1), 0);       // section "Zanto"
  ASSERT_EQ(store.Write(setting::kSyncMode, 0), 0);           // section "ZANTO"
  EXPECT_EQ(store.ReadInt("ZANTO", "SilencePaste", 0), 1);
  EXPECT_EQ(store.ReadInt("zanto", "syncmode", 1), 0);
  ASSERT_EQ(store.WriteText("Spectrum", "NumBands", "8"), 0);
  EXPECT_EQ(store.Read(setting::kSpectrumNumBands), 8);
}

TEST(SettingsStore, TheTemporaryFolderDefaultsToAnExistingFolderOfTheProgram) {
  TestFolder folder;
  ScopedEnvironment home("ZTLIVE_HOME", folder.Path());
  const SettingsStore store;
  EXPECT_EQ(store.Path(), folder.File("settings.ini"));
  const std::string temp = store.Read(setting::kTempPath);
  EXPECT_EQ(temp, folder.File("tmp"));
  EXPECT_TRUE(FolderExists(temp));
  EXPECT_EQ(store.Read(setting::kBatchDestDir), HomeFolder());
}

TEST(SettingsTable, EveryKeyIsListedOnceAndFoundWithoutRegardToCase) {
  std::set<std::string> seen;
  for (const SettingInfo& info : AllSettings()) {
    std::string name = std::string(info.section) + "/" + std::string(info.key);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(seen.insert(name).second) << name << " is listed twice";
    EXPECT_EQ(FindSetting(info.section, info.key), &info);
  }
  const SettingInfo* flags = FindSetting("zanto", "warningflags");
  ASSERT_NE(flags, nullptr);
  EXPECT_EQ(DefaultText(*flags).value(), "0xFFFFFFFF");
  EXPECT_EQ(DefaultText(*FindSetting("ZANTO", "CDBlockSize")).value(), "2352");
  EXPECT_FALSE(DefaultText(*FindSetting("Settings", "WindowPos")));
  EXPECT_EQ(FindSetting("ZANTO", "NoSuchKey"), nullptr);
}

}  // namespace
}  // namespace ztlive
