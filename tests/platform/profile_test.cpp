// The profile-file stand-in against hand-written INI files: Windows matching
// (ASCII case, Shift-JIS keys, whitespace, line ends), defaults, cut values,
// quoted values, integer reads, and writes that keep the rest of the file and
// swap it whole.
#include "platform/profile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/debug_output.h"
#include "support/scratch_folder.h"

namespace {

using qz::testing::ScratchFolder;

// CP932 bytes. A hex escape runs on over hex digits, hence the split literals.
const std::string kMapFile = "\x83}\x83" "b\x83v\x83t\x83@\x83" "C\x83\x8b";            // マップファイル
const std::string kDebugUse = "debug.ini\x82\xf0\x8e" "g\x97p\x82\xb7\x82\xe9\x82\xa9";  // debug.iniを使用するか
const std::string kBlazeLevel = "\x83u\x83\x8c\x83" "C\x83Y\x83V\x83\x87\x83" "b\x83" "gLV";  // ブレイズショットLV
// アッ and ヂィ: the same bytes but for the case of the ASCII-range trail bytes.
const std::string kAtsu = "\x83" "A\x83" "b";
const std::string kDii = "\x83" "a\x83" "B";
// ゾ, whose trail byte is ']'.
const std::string kZo = "\x83]";

std::string Get(const std::string& file, const std::string& section, const std::string& key,
                const char* defaultValue = "none", std::uint32_t size = 256) {
  std::string buffer(size, '#');
  const std::uint32_t length =
      plat::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, buffer.data(), size, file.c_str());
  const std::string value = buffer.c_str();
  EXPECT_EQ(length, value.size()) << section << "/" << key;
  return value;
}

std::uint32_t GetInt(const std::string& file, const std::string& key, std::int32_t defaultValue = 77) {
  return plat::GetPrivateProfileIntA("Config", key.c_str(), defaultValue, file.c_str());
}

TEST(PlatProfileRead, MatchesSectionsAndKeysLikeWindows) {
  ScratchFolder scratch;
  scratch.Write("save/config.ini",
                "; written by hand\r\n"
                "[Config]\r\n"
                "Screen mode = 1 \r\n"
                "\t Volume=  75\t\r\n"
                ";Confirm=9\r\n"
                "Shot Change=\r\n"
                "Don't use 3D Acceleration=1\r\n"
                "[ Other ]\r\n"
                "Volume=5\r\n");
  const std::string file = scratch.Library("save\\config.ini");
  EXPECT_EQ(Get(file, "CONFIG", "screen MODE"), "1");
  EXPECT_EQ(Get(file, "config", "Volume"), "75");
  EXPECT_EQ(Get(file, "Config", "Don't use 3D Acceleration"), "1");
  EXPECT_EQ(Get(file, "other", "VOLUME"), "5");
  EXPECT_EQ(Get(file, " Other", "Volume "), "5");
  // A present but empty value is the empty string, not the default.
  EXPECT_EQ(Get(file, "Config", "Shot Change"), "");
  // Comments, missing keys, sections and files give the default.
  EXPECT_EQ(Get(file, "Config", "Confirm"), "none");
  EXPECT_EQ(Get(file, "Config", "Menu", "8"), "8");
  EXPECT_EQ(Get(file, "Missing", "Volume"), "none");
  EXPECT_EQ(Get(file, "Config", "Volume", nullptr), "75");
  EXPECT_EQ(Get(scratch.Library("save\\absent.ini"), "Config", "Volume", "80"), "80");
  EXPECT_EQ(Get(scratch.Library("save\\absent.ini"), "Config", "Volume", nullptr), "");
  // The file name resolves without case, as every file name of the stand-in.
  EXPECT_EQ(Get(scratch.Library("SAVE\\Config.INI"), "Config", "Volume"), "75");

  // LF-only files and a last line without an ending read the same.
  scratch.Write("lf.ini", "[a]\nkey=lf value\n[b]\nkey=last");
  EXPECT_EQ(Get(scratch.Library("lf.ini"), "A", "KEY"), "lf value");
  EXPECT_EQ(Get(scratch.Library("lf.ini"), "b", "key"), "last");
}

TEST(PlatProfileRead, CutsValuesToTheBufferWithoutSplittingCharacters) {
  ScratchFolder scratch;
  scratch.Write("cut.ini", "[s]\nword=hello world\nkana=" + kAtsu + "\n");
  const std::string file = scratch.Library("cut.ini");
  EXPECT_EQ(Get(file, "s", "word", "", 6), "hello");
  EXPECT_EQ(Get(file, "s", "word", "", 1), "");
  EXPECT_EQ(Get(file, "s", "missing", "defaults too", 9), "defaults");
  // Three bytes of room hold one double-byte character, never a lone lead byte.
  EXPECT_EQ(Get(file, "s", "kana", "", 4), kAtsu.substr(0, 2));
  EXPECT_EQ(Get(file, "s", "kana", "", 5), kAtsu);
  char untouched = 'x';
  EXPECT_EQ(plat::GetPrivateProfileStringA("s", "word", "", &untouched, 0, file.c_str()), 0u);
  EXPECT_EQ(untouched, 'x');
}

TEST(PlatProfileRead, ShiftJisKeysMatchOnlyThemselves) {
  ScratchFolder scratch;
  scratch.Write("debug.ini",
                "[DebugUse]\r\n" + kDebugUse + "=1\r\n"
                "[MapData]\r\n" + kMapFile + "=025\r\n"
                "[PlayerData]\r\n" + kBlazeLevel + "=3\r\n" + kAtsu + "=first\r\n" + kDii + "=second\r\n"
                "[" + kZo + "]\r\n" "key=zo\r\n");
  const std::string file = scratch.Library("debug.ini");
  EXPECT_EQ(Get(file, "debuguse", kDebugUse), "1");
  EXPECT_EQ(Get(file, "MapData", kMapFile), "025");
  // ASCII letters after the double-byte characters still fold.
  EXPECT_EQ(Get(file, "PlayerData", kBlazeLevel.substr(0, kBlazeLevel.size() - 2) + "lv"), "3");
  // Folding the trail bytes would make these two keys one.
  EXPECT_EQ(Get(file, "PlayerData", kAtsu), "first");
  EXPECT_EQ(Get(file, "PlayerData", kDii), "second");
  EXPECT_EQ(Get(file, "PlayerData", "\x83" "A\x83" "B"), "none");
  // The ']' inside the section name is a trail byte, not the bracket.
  EXPECT_EQ(Get(file, kZo, "key"), "zo");
}

TEST(PlatProfileRead, OnePairOfMatchingQuotesAroundAValueIsDropped) {
  ScratchFolder scratch;
  scratch.Write("quoted.ini",
                "[Config]\r\n"
                "Volume=\"55\"\r\n"
                "Single = '30' \r\n"
                "Inner=\" spaced \"\r\n"
                "Doubled=\"\"x\"\"\r\n"
                "Empty=\"\"\r\n"
                "Mixed=\"7'\r\n"
                "Lone=\"\r\n"
                "Inside=a \"b\" c\r\n"
                "Kana=\"" + kAtsu + "\"\r\n");
  const std::string file = scratch.Library("quoted.ini");
  EXPECT_EQ(Get(file, "Config", "Volume"), "55");
  EXPECT_EQ(GetInt(file, "Volume"), 55u);
  EXPECT_EQ(GetInt(file, "Single"), 30u);
  EXPECT_EQ(Get(file, "Config", "Inner"), " spaced ");
  EXPECT_EQ(Get(file, "Config", "Doubled"), "\"x\"") << "only one pair";
  EXPECT_EQ(Get(file, "Config", "Empty"), "");
  EXPECT_EQ(GetInt(file, "Empty"), 77u) << "empty once unquoted: the default";
  EXPECT_EQ(Get(file, "Config", "Mixed"), "\"7'");
  EXPECT_EQ(Get(file, "Config", "Lone"), "\"");
  EXPECT_EQ(Get(file, "Config", "Inside"), "a \"b\" c");
  EXPECT_EQ(Get(file, "Config", "Kana"), kAtsu);
  EXPECT_EQ(Get(file, "Config", "Missing", "\"kept\""), "\"kept\"") << "a default is given as it is";
}

TEST(PlatProfileRead, IntegersParseLikeWindows) {
  ScratchFolder scratch;
  scratch.Write("int.ini",
                "[Config]\nVolume=80\nNegative=-3\nPlus=+7\nTrailing=12abc\nWord=abc\nEmpty=\nHuge=4294967297\n");
  const std::string file = scratch.Library("int.ini");
  EXPECT_EQ(GetInt(file, "volume"), 80u);
  EXPECT_EQ(GetInt(file, "Negative"), static_cast<std::uint32_t>(-3));
  EXPECT_EQ(GetInt(file, "Plus"), 7u);
  EXPECT_EQ(GetInt(file, "Trailing"), 12u);
  EXPECT_EQ(GetInt(file, "Word"), 0u);
  EXPECT_EQ(GetInt(file, "Empty"), 77u);
  EXPECT_EQ(GetInt(file, "Huge"), 1u);  // wraps in 32 bits
  EXPECT_EQ(GetInt(file, "Missing", -1), 0xFFFFFFFFu);
  EXPECT_EQ(GetInt(scratch.Library("absent.ini"), "Volume", 80), 80u);
}

TEST(PlatProfileWrite, EditsOneEntryAndKeepsTheRest) {
  ScratchFolder scratch;
  const std::string original =
      "; settings\r\n"
      "[Config]\r\n"
      "Screen mode=0\r\n"
      "  VOLUME = 80 \r\n"
      "\r\n"
      "[Other]\r\n"
      "Volume=5\r\n";
  scratch.Write("save/config.ini", original);
  const std::string file = scratch.Library("save\\config.ini");

  // Names match as they read back: without case or surrounding blanks.
  ASSERT_TRUE(plat::WritePrivateProfileStringA(" config", "Volume\t", "95", file.c_str()));
  EXPECT_EQ(scratch.Read("save/config.ini"),
            "; settings\r\n[Config]\r\nScreen mode=0\r\nVolume=95\r\n\r\n[Other]\r\nVolume=5\r\n");

  // A new key goes after the section's last entry, a new section at the end.
  ASSERT_TRUE(plat::WritePrivateProfileStringA("Config", "Menu", "8", file.c_str()));
  ASSERT_TRUE(plat::WritePrivateProfileStringA("Added", "Key", "v", file.c_str()));
  EXPECT_EQ(scratch.Read("save/config.ini"),
            "; settings\r\n[Config]\r\nScreen mode=0\r\nVolume=95\r\nMenu=8\r\n\r\n[Other]\r\nVolume=5\r\n"
            "[Added]\r\nKey=v\r\n");

  // An LF file stays LF; a last line without an ending gets one before the new text.
  scratch.Write("lf.ini", "[a]\nx=1");
  ASSERT_TRUE(plat::WritePrivateProfileStringA("a", "y", "2", scratch.Library("lf.ini").c_str()));
  EXPECT_EQ(scratch.Read("lf.ini"), "[a]\nx=1\ny=2\n");
  ASSERT_TRUE(plat::WritePrivateProfileStringA("b", "z", "3", scratch.Library("lf.ini").c_str()));
  EXPECT_EQ(scratch.Read("lf.ini"), "[a]\nx=1\ny=2\n[b]\nz=3\n");

  // Shift-JIS keys are told apart on write as on read.
  scratch.Write("debug.ini", "[PlayerData]\r\n" + kAtsu + "=1\r\n");
  ASSERT_TRUE(plat::WritePrivateProfileStringA("PlayerData", kDii.c_str(), "2", scratch.Library("debug.ini").c_str()));
  EXPECT_EQ(scratch.Read("debug.ini"), "[PlayerData]\r\n" + kAtsu + "=1\r\n" + kDii + "=2\r\n");

  // No temporary file is left beside the written ones.
  std::size_t names = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Posix("save"))) {
    EXPECT_EQ(entry.path().filename(), "config.ini");
    ++names;
  }
  EXPECT_EQ(names, 1u);
}

TEST(PlatProfileWrite, ConfigurationRoundTripInANewFile) {
  ScratchFolder scratch;
  scratch.MakeFolder("Save");
  // The caller's case differs from the folder on disk; the file lands inside it.
  const std::string file = scratch.Library("SAVE\\config.ini");
  const char* keys[] = {"Screen mode", "Volume", "Confirm", "Cancel", "Jump",
                        "Shot", "Shot Change", "Dash", "Menu", "Don't use 3D Acceleration"};
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(plat::WritePrivateProfileStringA("Config", keys[i], std::to_string(i * 10).c_str(), file.c_str()));
  }
  EXPECT_TRUE(scratch.Exists("Save/config.ini"));
  EXPECT_EQ(scratch.Read("Save/config.ini").substr(0, 25), "[Config]\r\nScreen mode=0\r\n");
  for (int i = 0; i < 10; ++i) EXPECT_EQ(GetInt(file, keys[i]), static_cast<std::uint32_t>(i * 10)) << keys[i];
}

TEST(PlatProfileWrite, ReplacesTheFileWholeAndRefusesWhatItCannotWrite) {
  ScratchFolder scratch;
  scratch.Write("config.ini", "[Config]\r\nVolume=80\r\n");
  const std::string file = scratch.Library("config.ini");
  // A reader that opened the file before the write still sees the old text
  // whole: the new text arrived in another file and was renamed over it.
  const int before = ::open(scratch.Posix("config.ini").c_str(), O_RDONLY);
  ASSERT_GE(before, 0);
  ASSERT_TRUE(plat::WritePrivateProfileStringA("Config", "Volume", "100", file.c_str()));
  char old[64] = {};
  EXPECT_EQ(::read(before, old, sizeof(old) - 1), 21);
  EXPECT_STREQ(old, "[Config]\r\nVolume=80\r\n");
  ::close(before);
  EXPECT_EQ(scratch.Read("config.ini"), "[Config]\r\nVolume=100\r\n");

  plat::StartDebugCapture();
  // A missing folder is not created (the game ignores the failure).
  EXPECT_FALSE(plat::WritePrivateProfileStringA("Config", "Volume", "1", scratch.Library("nosave\\c.ini").c_str()));
  EXPECT_FALSE(scratch.Exists("nosave"));
  // Entries that would read back as other entries are refused, the file untouched.
  EXPECT_FALSE(plat::WritePrivateProfileStringA("Config", "Volume", "1\r\n[Evil]", file.c_str()));
  EXPECT_FALSE(plat::WritePrivateProfileStringA("Config", "a=b", "1", file.c_str()));
  EXPECT_FALSE(plat::WritePrivateProfileStringA("Con]fig", "Volume", "1", file.c_str()));
  EXPECT_FALSE(plat::WritePrivateProfileStringA("Config", "Volume", nullptr, file.c_str()));
  // A folder in the file's place is not replaced.
  scratch.MakeFolder("dir.ini");
  EXPECT_FALSE(plat::WritePrivateProfileStringA("Config", "Volume", "1", scratch.Library("dir.ini").c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(scratch.Posix("dir.ini")));
  EXPECT_EQ(scratch.Read("config.ini"), "[Config]\r\nVolume=100\r\n");
  const std::string log = plat::TakeDebugCapture();
  EXPECT_NE(log.find("WritePrivateProfileStringA: cannot write the file"), std::string::npos) << log;
  EXPECT_NE(log.find("WritePrivateProfileStringA: section or key cannot be written"), std::string::npos) << log;
  EXPECT_NE(log.find("WritePrivateProfileStringA: cannot read the file"), std::string::npos) << log;
}

}  // namespace
