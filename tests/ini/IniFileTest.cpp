// SPDX-License-Identifier: GPL-2.0-or-later
#include "ini/IniFile.h"
#include "support/TestFiles.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

TEST(IniFile, ReadsValuesByTheFileRules) {
    TempDir dir;
    WriteText(dir / "a.ini", "; comment=1\r\n"
                             "[TfrmMain]\r\n"
                             "  btnHide_Caption  =   Hide it  \r\n"
                             "Quoted=\" spaced \"\r\n"
                             "Empty=\r\n"
                             "Twice=first\r\n"
                             "twice=second\r\n"
                             "[Other]\n"
                             "Key=other\n"
                             "[tfrmmain]\n"
                             "Late=ignored\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.ReadString("TfrmMain", "btnHide_Caption"), "Hide it");
    EXPECT_EQ(ini.ReadString("TFRMMAIN", "BTNHIDE_CAPTION"), "Hide it");
    EXPECT_EQ(ini.ReadString("TfrmMain", "Quoted"), " spaced ");
    EXPECT_EQ(ini.ReadString("TfrmMain", "Empty", "default"), "");
    EXPECT_EQ(ini.ReadString("TfrmMain", "Twice"), "first");
    EXPECT_EQ(ini.ReadString("other", "key"), "other");
    EXPECT_EQ(ini.ReadString("TfrmMain", "Late", "missing"), "missing");
    EXPECT_EQ(ini.ReadString("TfrmMain", "; comment", "missing"), "missing");
    EXPECT_EQ(ini.ReadString("NoSection", "Key", "missing"), "missing");
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_FALSE(ini.SectionExists("Nothing"));

    IniFile absent(dir / "absent.ini");
    EXPECT_EQ(absent.ReadString("S", "K", "d"), "d");
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.ini"));
}

TEST(IniFile, LongValuesAreCutTo2047Characters) {
    TempDir dir;
    std::string ascii(3000, 'a');
    std::string umlauts;
    for (int i = 0; i < 2100; ++i)
        umlauts += "\xC3\xA4"; // two bytes, one character
    WriteText(dir / "a.ini", "[S]\nAscii=" + ascii + "\nUmlauts=" + umlauts + "\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.ReadString("S", "Ascii"), std::string(2047, 'a'));
    EXPECT_EQ(ini.ReadString("S", "Umlauts"), umlauts.substr(0, 2 * 2047));
}

TEST(IniFile, IntegersAreDecimalOrHexAndAnythingElseIsMissing) {
    EXPECT_EQ(ParseIniInteger("16"), 16);
    EXPECT_EQ(ParseIniInteger(" -7 "), -7);
    EXPECT_EQ(ParseIniInteger("+3"), 3);
    EXPECT_EQ(ParseIniInteger("0x10"), 16);
    EXPECT_EQ(ParseIniInteger("0XfF"), 255);
    EXPECT_EQ(ParseIniInteger("0xFFFFFFFF"), -1);
    for (const char* bad :
         {"", "abc", "12abc", "0x", "0x1G", "1.5", "99999999999", "0x100000000", "--1", "- 1"})
        EXPECT_FALSE(ParseIniInteger(bad).has_value()) << bad;

    TempDir dir;
    WriteText(dir / "a.ini", "[S]\nSize=0x10\nWord=big\nQuoted=\"12\"\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.ReadInteger("S", "Size", 0), 16);
    EXPECT_EQ(ini.ReadInteger("S", "Word", 8), 8);
    EXPECT_EQ(ini.ReadInteger("S", "Quoted", 0), 12);
    EXPECT_EQ(ini.ReadInteger("S", "Missing", -1), -1);
}

TEST(IniFile, WritesInPlaceAtTheSectionEndOrInANewSection) {
    TempDir dir;
    std::string path = dir / "a.ini";
    WriteText(path,
              "; translated by hand\r\n[One]\r\nKeep=1\r\nBtn_Caption=old\r\n\r\n[Two]\r\nX=1\r\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteString("ONE", "btn_caption", "new"));
    ASSERT_TRUE(ini.WriteString("one", "Added", "a\r\nb\nc"));
    ASSERT_TRUE(ini.WriteInteger("Three", "Size", -8));
    EXPECT_EQ(ReadText(path), "; translated by hand\n[One]\nKeep=1\nBtn_Caption=new\nAdded=a b c\n"
                              "\n[Two]\nX=1\n\n[Three]\nSize=-8\n");

    IniFile created(dir / "new.ini");
    ASSERT_TRUE(created.WriteString("S", "K", "v"));
    EXPECT_EQ(ReadText(dir / "new.ini"), "[S]\nK=v\n");
}

TEST(IniFile, RefusesNamesThatCannotBeStored) {
    TempDir dir;
    std::string path = dir / "a.ini";
    IniFile ini(path);
    EXPECT_FALSE(ini.WriteString("", "K", "v"));
    EXPECT_FALSE(ini.WriteString("S]x", "K", "v"));
    EXPECT_FALSE(ini.WriteString("S\nK=v", "K", "v"));
    EXPECT_FALSE(ini.WriteString("S", "", "v"));
    EXPECT_FALSE(ini.WriteString("S", "a=b", "v"));
    EXPECT_FALSE(ini.WriteString("S", "[Injected]", "v"));
    EXPECT_FALSE(ini.WriteString("S", ";K", "v"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(IniFile, EraseSectionAndDeleteKey) {
    TempDir dir;
    std::string path = dir / "a.ini";
    WriteText(path, "[A]\nK=1\nL=2\n[B]\nK=3\n[a]\nM=4\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.DeleteKey("A", "l"));
    ASSERT_TRUE(ini.EraseSection("a"));
    EXPECT_EQ(ReadText(path), "[B]\nK=3\n");
    EXPECT_TRUE(ini.EraseSection("Missing"));
    EXPECT_TRUE(ini.DeleteKey("B", "Missing"));
}

TEST(IniFile, ObjectsOnOnePathSeeEachOthersWrites) {
    TempDir dir;
    std::string path = dir / "a.ini";
    IniFile first(path);
    IniFile second(path);
    EXPECT_EQ(first.ReadString("TframeMsg", "K", "none"), "none"); // loads the empty file
    ASSERT_TRUE(second.WriteString("TframeMsg", "K", "frame"));
    ASSERT_TRUE(first.WriteString("TfrmMain", "K", "main"));
    EXPECT_EQ(ReadText(path), "[TframeMsg]\nK=frame\n\n[TfrmMain]\nK=main\n");

    WriteText(path, "[TfrmMain]\nK=edited by hand\n");
    EXPECT_EQ(first.ReadString("TfrmMain", "K"), "edited by hand");
}

TEST(IniFile, AFailedWriteReportsFalseAndLeavesTheFileAsItWas) {
    TempDir dir;
    WriteText(dir / "plain", "x");
    IniFile underFile(dir / "plain/lang.ini");
    EXPECT_FALSE(underFile.WriteString("S", "K", "v"));
    IniFile missingFolder(dir / "no/such/lang.ini");
    EXPECT_FALSE(missingFolder.WriteString("S", "K", "v"));

    // A write cut short by a file-size limit (which also holds for root) must neither
    // touch the old file nor leave a temporary file behind.
    std::string path = dir / "a.ini";
    WriteText(path, "[S]\nK=old\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "K"), "old");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool written = ini.WriteString("S", "K", std::string(1000, 'n'));
        bool readsOld = ini.ReadString("S", "K") == "old";
        ::_exit(!written && readsOld ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadText(path), "[S]\nK=old\n");
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

TEST(IniFile, WritesGoThroughASymbolicLinkAndKeepAByteOrderMark) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    WriteText(dir / "real/lang.ini", "\xEF\xBB\xBF[S]\nK=v\n");
    std::filesystem::create_symlink(dir / "real/lang.ini", dir / "link.ini");
    IniFile ini(dir / "link.ini");
    EXPECT_EQ(ini.ReadString("s", "k"), "v");
    ASSERT_TRUE(ini.WriteString("S", "L", "w"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadText(dir / "real/lang.ini"), "\xEF\xBB\xBF[S]\nK=v\nL=w\n");
}

TEST(IniFile, ABatchWritesItsFirstKeyAtOnceAndTheRestAtItsEnd) {
    TempDir dir;
    std::string path = dir / "a.ini";
    IniFile ini(path);
    ini.BeginBatch();
    ASSERT_TRUE(ini.WriteString("S", "A", "1"));
    ini.BeginBatch();
    ASSERT_TRUE(ini.WriteString("S", "B", "2"));
    EXPECT_TRUE(ini.EndBatch());
    ASSERT_TRUE(ini.WriteString("S", "C", "3"));
    EXPECT_EQ(ReadText(path), "[S]\nA=1\n");
    EXPECT_EQ(ini.ReadString("S", "C"), "3");
    EXPECT_TRUE(ini.EndBatch());
    EXPECT_EQ(ReadText(path), "[S]\nA=1\nB=2\nC=3\n");

    IniFile unwritable(dir / "a.ini/below.ini");
    unwritable.BeginBatch();
    EXPECT_FALSE(unwritable.WriteString("S", "A", "1"));
    EXPECT_FALSE(unwritable.WriteString("S", "B", "2"));
    EXPECT_TRUE(unwritable.EndBatch());
}
