#include "platform/places.h"
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_support.h"

using namespace torvix::settings;

namespace torvix {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class SettingsFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    SettingsFile file = SettingsFile::InFolder(dir.path());
};

TEST_F(SettingsFileTest, LivesInTheGivenFolderUnderItsFixedName) {
    EXPECT_EQ(file.path(), dir.path() / "Torvix.ini");
}

TEST_F(SettingsFileTest, MissingFileSectionOrEntryGivesTheDefault) {
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", "60"), "60");
    EXPECT_FALSE(fs::exists(file.path())) << "reading must not create the file";

    WriteText(file.path(), "[Other]\nSegments=12\n[Settings]\nFilter=3\n");
    EXPECT_EQ(GetINISetting(file, "Missing", "Segments", "60"), "60");
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", "60"), "60")
        << "an entry of another section must not be found";
    EXPECT_EQ(GetINISetting(file, "Settings", "Filter", "15"), "3");
}

TEST_F(SettingsFileTest, EmptyValueIsAValueNotAMissingEntry) {
    WriteText(file.path(), "[Settings]\nFilter=\n");
    EXPECT_EQ(GetINISetting(file, "Settings", "Filter", "15"), "");
}

TEST_F(SettingsFileTest, FirstWriteCreatesFileSectionAndEntry) {
    ASSERT_TRUE(SaveINISetting(file, "File_IO", "LoadPath", "/tracks"));
    EXPECT_EQ(ReadText(file.path()), "[File_IO]\nLoadPath=/tracks\n");

    ASSERT_TRUE(SaveINISetting(file, "Preferences", "WantSL", "0"));
    ASSERT_TRUE(SaveINISetting(file, "File_IO", "SavePath", "/out"));
    EXPECT_EQ(ReadText(file.path()), "[File_IO]\nLoadPath=/tracks\nSavePath=/out\n[Preferences]\nWantSL=0\n");
    EXPECT_EQ(GetINISetting(file, "File_IO", "SavePath", ""), "/out");
}

TEST_F(SettingsFileTest, ReplacesAValueInPlaceAndKeepsOtherLines) {
    WriteText(file.path(),
              "; kept by hand\n"
              "[Settings]\n"
              "Segments = 60\n"
              "Odd line without equals\n"
              "Filter=15\n"
              "\n"
              "[Preferences]\n"
              "SL= 2.05\n");
    ASSERT_TRUE(SaveINISetting(file, "Settings", "Segments", "80"));
    ASSERT_TRUE(SaveINISetting(file, "Settings", "Heartline", "1.2"));
    EXPECT_EQ(ReadText(file.path()),
              "; kept by hand\n"
              "[Settings]\n"
              "Segments =80\n"
              "Odd line without equals\n"
              "Filter=15\n"
              "Heartline=1.2\n"
              "\n"
              "[Preferences]\n"
              "SL= 2.05\n");
}

TEST_F(SettingsFileTest, KeepsWindowsLineEnds) {
    WriteText(file.path(), "[Settings]\r\nSegments=60\r\n");
    ASSERT_TRUE(SaveINISetting(file, "Settings", "Filter", "9"));
    EXPECT_EQ(ReadText(file.path()), "[Settings]\r\nSegments=60\r\nFilter=9\r\n");
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", ""), "60");
}

TEST_F(SettingsFileTest, NamesMatchWithoutRegardToCase) {
    WriteText(file.path(), "[SETTINGS]\nsegments=42\n");
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", "60"), "42");
    ASSERT_TRUE(SaveINISetting(file, "settings", "SEGMENTS", "43"));
    EXPECT_EQ(ReadText(file.path()), "[SETTINGS]\nsegments=43\n") << "no second section or entry";
}

TEST_F(SettingsFileTest, BlanksAroundNamesAndValuesAreIgnored) {
    WriteText(file.path(), "  [ Settings ]  \n\t Segments \t=  \t 7 5 \t\n");
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", ""), "7 5");
    // The value stored for "SL" begins with a blank; it reads back without it.
    ASSERT_TRUE(SaveINISetting(file, "Preferences", "SL", " 2.05"));
    EXPECT_EQ(GetINISetting(file, "Preferences", "SL", "2"), "2.05");
}

TEST_F(SettingsFileTest, FirstOfDuplicateSectionsAndEntriesWins) {
    WriteText(file.path(), "[Settings]\nFilter=1\nFilter=2\n[Settings]\nFilter=3\n");
    EXPECT_EQ(GetINISetting(file, "Settings", "Filter", ""), "1");
    ASSERT_TRUE(SaveINISetting(file, "Settings", "Filter", "4"));
    EXPECT_EQ(ReadText(file.path()), "[Settings]\nFilter=4\nFilter=2\n[Settings]\nFilter=3\n");
}

TEST_F(SettingsFileTest, CommentsAreNotEntries) {
    WriteText(file.path(), "[Settings]\n;Filter=1\n");
    EXPECT_EQ(GetINISetting(file, "Settings", "Filter", "15"), "15");
}

TEST_F(SettingsFileTest, ValuesAreCutTo1023Characters) {
    const std::string long_value(1500, 'x');
    ASSERT_TRUE(SaveINISetting(file, "File_IO", "LoadPath", long_value));
    EXPECT_EQ(GetINISetting(file, "File_IO", "LoadPath", ""), std::string(1023, 'x'));
    const std::string exact(1023, 'y');
    ASSERT_TRUE(SaveINISetting(file, "File_IO", "LoadPath", exact));
    EXPECT_EQ(GetINISetting(file, "File_IO", "LoadPath", ""), exact);
    EXPECT_EQ(GetINISetting(file, "File_IO", "Missing", long_value).size(), 1023u);
}

TEST_F(SettingsFileTest, RefusesTextsThatWouldBreakTheFile) {
    ASSERT_TRUE(SaveINISetting(file, "Settings", "Segments", "60"));
    const std::string before = ReadText(file.path());
    EXPECT_FALSE(SaveINISetting(file, "Settings", "Segments", "60\n[Evil]\nx=1"));
    EXPECT_FALSE(SaveINISetting(file, "Settings", "Seg=ments", "1"));
    EXPECT_FALSE(SaveINISetting(file, "Set]tings", "Segments", "1"));
    EXPECT_FALSE(SaveINISetting(file, "", "Segments", "1"));
    EXPECT_FALSE(SaveINISetting(file, "Settings", " ", "1"));
    EXPECT_EQ(ReadText(file.path()), before);
}

TEST_F(SettingsFileTest, ReadOnlyFileIsReadButNeverWritten) {
    WriteText(file.path(), "[Settings]\nSegments=33\n");
    fs::permissions(file.path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", "60"), "33");
    EXPECT_EQ(GetINISetting(file, "Settings", "Filter", "15"), "15");
    EXPECT_FALSE(SaveINISetting(file, "Settings", "Segments", "44"));
    EXPECT_FALSE(SaveINISetting(file, "Settings", "Filter", "2"));
    EXPECT_EQ(ReadText(file.path()), "[Settings]\nSegments=33\n");
    fs::permissions(file.path(), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(SettingsFileTest, UnreachableFolderFailsQuietly) {
    // A plain file where a folder would have to be.
    WriteText(dir / "plain", "x");
    const SettingsFile nowhere = SettingsFile::InFolder(dir / "plain" / "folder");
    EXPECT_FALSE(SaveINISetting(nowhere, "Settings", "Segments", "44"));
    EXPECT_EQ(GetINISetting(nowhere, "Settings", "Segments", "60"), "60");

    // A folder where the file should be.
    fs::create_directory(file.path());
    EXPECT_FALSE(SaveINISetting(file, "Settings", "Segments", "44"));
    EXPECT_EQ(GetINISetting(file, "Settings", "Segments", "60"), "60");
}

TEST_F(SettingsFileTest, FirstWriteCreatesMissingFoldersForTheOwnerOnly) {
    const SettingsFile config(dir / "home" / ".config" / "Torvix" / "Torvix.ini");
    EXPECT_EQ(GetINISetting(config, "File_IO", "LoadPath", "none"), "none");
    EXPECT_FALSE(fs::exists(dir / "home")) << "reading must not create folders";

    ASSERT_TRUE(SaveINISetting(config, "File_IO", "LoadPath", "/tracks"));
    EXPECT_EQ(ReadText(config.path()), "[File_IO]\nLoadPath=/tracks\n");
    for (const fs::path& folder : {dir / "home", dir / "home" / ".config", dir / "home" / ".config" / "Torvix"}) {
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
    }
}

// Where the window keeps Torvix.ini: beside a portable copy, in the user's
// configuration folder for an installed one.
TEST(SettingsLocation, BesideTheProgramOrInTheConfigurationFolder) {
    EXPECT_EQ(SettingsFilePath("/opt/t", true, "/home/u/.config"), fs::path("/opt/t/Torvix.ini"));
    EXPECT_EQ(SettingsFilePath("/usr/bin", false, "/xdg"), fs::path("/xdg/Torvix/Torvix.ini"));
    EXPECT_EQ(SettingsFilePath("/usr/bin", false, ""), fs::path("/usr/bin/Torvix.ini"));

    EXPECT_EQ(platform::XdgConfigFolder("/xdg", "/home/u"), fs::path("/xdg"));
    EXPECT_EQ(platform::XdgConfigFolder("", "/home/u"), fs::path("/home/u/.config"));
    EXPECT_EQ(platform::XdgConfigFolder("relative/xdg", "/home/u"), fs::path("/home/u/.config"))
        << "a relative XDG_CONFIG_HOME is ignored";
    EXPECT_EQ(platform::XdgConfigFolder("", ""), fs::path());
}

TEST(SettingsLocation, InstalledCopiesNeverKeepSettingsBesideThemselves) {
    test::TempDir prefix;
    fs::create_directories(prefix / "bin");
    EXPECT_FALSE(IsInstalledCopy(prefix / "bin"));
    EXPECT_TRUE(CanKeepSettingsBeside(prefix / "bin")) << "a portable copy in a folder we can write";
    EXPECT_FALSE(CanKeepSettingsBeside(prefix / "missing"));

    fs::create_directories(prefix / "share" / "applications");
    WriteText(prefix / "share" / "applications" / "torvix.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(IsInstalledCopy(prefix / "bin"));
    EXPECT_FALSE(CanKeepSettingsBeside(prefix / "bin")) << "even where the folder can be written (root)";
}

TEST_F(SettingsFileTest, ReplacementLeavesNoTemporaryFileAndKeepsPermissions) {
    WriteText(file.path(), "[Settings]\nSegments=1\n");
    fs::permissions(file.path(), fs::perms::owner_read | fs::perms::owner_write);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(SaveINISetting(file, "Settings", "Segments", std::to_string(i)));
    int count = 0;
    for (const auto& item : fs::directory_iterator(dir.path())) {
        ++count;
        EXPECT_EQ(item.path().filename(), "Torvix.ini");
    }
    EXPECT_EQ(count, 1);
    EXPECT_EQ(fs::status(file.path()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SettingsFileTest, WritesThroughALinkToItsTarget) {
    const fs::path real = dir / "real.ini";
    WriteText(real, "[Settings]\nFilter=1\n");
    fs::create_symlink(real, file.path());
    ASSERT_TRUE(SaveINISetting(file, "Settings", "Filter", "2"));
    EXPECT_TRUE(fs::is_symlink(file.path()));
    EXPECT_EQ(ReadText(real), "[Settings]\nFilter=2\n");
}

TEST_F(SettingsFileTest, StartUpTextsDefaultWithoutAFileAndCreateNone) {
    const ParameterTexts defaults{"60", "1.0", "20", "17", "6", "15"};
    const ParameterTexts texts = LoadParameterTexts(file, defaults);
    EXPECT_EQ(texts, defaults);
    EXPECT_FALSE(fs::exists(file.path()));
}

TEST_F(SettingsFileTest, StartUpTextsComeAsStoredWithoutRangeChecks) {
    WriteText(file.path(),
              "[Settings]\nSegments=abc\nHeartline=-1.5\nSpeedIn=25\nSpeedOut=\nPrecision=2\nFilter=99999\n");
    EXPECT_EQ(LoadParameterTexts(file, {"1", "2", "3", "4", "5", "6"}),
              (ParameterTexts{"abc", "-1.5", "25", "", "2", "99999"}));
}

TEST_F(SettingsFileTest, SavedParameterTextsReadBackUnchanged) {
    const ParameterTexts texts{"61", "1.25", "18.5", "12", "8", "3"};
    ASSERT_TRUE(SaveParameterTexts(file, texts));
    EXPECT_EQ(LoadParameterTexts(file, {}), texts);
    EXPECT_EQ(ReadText(file.path()),
              "[Settings]\nSegments=61\nHeartline=1.25\nSpeedIn=18.5\nSpeedOut=12\nPrecision=8\nFilter=3\n");
}

}  // namespace
}  // namespace torvix
