// SPDX-License-Identifier: GPL-2.0-or-later
// Every way a command can fail: its exit status, its one-line message on stderr, and that
// nothing on disk was touched.
#include "support/CliTest.h"

#include "crypt/PayloadCrypt.h"
#include "engine/BindImage.h"
#include "engine/CarrierTrailer.h"
#include "support/ReferenceCarriers.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

namespace {

class CliErrors : public CliTest {
protected:
    // A carrier with one hidden file whose entry name is `entryName`. The archive is made
    // by Info-ZIP under a harmless name of the same length, which is then patched in.
    std::string CarrierWithEntryName(const std::string& entryName) {
        std::string harmless = entryName;
        if (harmless[0] == '/')
            harmless[0] = 'x';
        for (auto at = harmless.find(".."); at != std::string::npos; at = harmless.find(".."))
            harmless.replace(at, 2, "dd");
        std::filesystem::create_directories(
            std::filesystem::path(At("zip/" + harmless)).parent_path());
        MakeFile("zip/" + harmless, "evil");
        std::string command =
            "cd '" + At("zip") + "' && zip -q -P pw payload.zip '" + harmless + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);

        std::string zip = ReadText(At("zip/payload.zip"));
        for (size_t at = zip.find(harmless); at != std::string::npos; at = zip.find(harmless))
            zip.replace(at, harmless.size(), entryName);
        WriteText(At("zip/patched.zip"), zip);
        EXPECT_TRUE(EncryptPayloadFile(At("zip/patched.zip").c_str(), At("zip/payload.enc").c_str(),
                                       Password("pw")));

        std::string image = ReadText(ReferenceFile("base.png"));
        std::string payload = ReadText(At("zip/payload.enc"));
        CarrierTrailer trailer{};
        trailer.filesTotalSize = 4;
        trailer.fileCount = 1;
        trailer.payloadLength = static_cast<int32_t>(payload.size());
        trailer.imageLength = static_cast<int32_t>(image.size());
        trailer.version = kTrailerVersion;
        std::memcpy(trailer.magic, "VZ", 2);
        std::string carrier = image + payload;
        carrier.append(reinterpret_cast<const char*>(&trailer), sizeof trailer);
        return MakeFile("crafted.png", carrier);
    }
};

} // namespace

TEST_F(CliErrors, UsageErrorsExitWithTwoAndPointAtTheHelp) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    std::string image = ReferenceFile("base.png");
    const Case cases[] = {
        {{"frob"}, "unknown command 'frob'\nTry 'lumora-cli --help'."},
        {{"hide", "--bogus"}, "unknown option --bogus\nTry 'lumora-cli hide --help'."},
        {{"hide", image}, "hide needs -o OUTPUT\nTry 'lumora-cli hide --help'."},
        {{"hide", image, "-o"}, "option -o needs a value\nTry 'lumora-cli hide --help'."},
        {{"hide", image, "-o", "x", "-o", "y"},
         "option -o given more than once\nTry 'lumora-cli hide --help'."},
        {{"hide", image, "-o", At("x"), "-m", "a", "--message-file", image},
         "give only one of -m, --message-file and -e\nTry 'lumora-cli hide --help'."},
        {{"info"}, "info needs a CARRIER\nTry 'lumora-cli info --help'."},
        {{"extract", image, "a.txt"},
         "extract needs -d DIR or --stdout\nTry 'lumora-cli extract --help'."},
        {{"edit", image},
         "nothing to change: give -m, --message-file, -e, --clear-message, --add, --remove, "
         "--sealed, --classic or -o\n"
         "Try 'lumora-cli edit --help'."},
        {{"edit", image, "-m", "a", "--clear-message"},
         "--clear-message cannot be used with -m, --message-file or -e\n"
         "Try 'lumora-cli edit --help'."},
        {{"info", "--json=yes", image},
         "option --json takes no value\nTry 'lumora-cli info --help'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        CliResult result = Run(c.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, ErrorLine(c.error));
        EXPECT_EQ(result.out, "");
    }
    EXPECT_FALSE(FileExists(At("x")));
    CliResult bare = Run({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("usage: lumora-cli COMMAND"), std::string::npos);
}

TEST_F(CliErrors, WithoutAPasswordSourceOrTerminalItIsAUsageError) {
    std::string carrier = HideInto("c.png", {"-m", "x"});
    CliResult result = Run({"reveal", carrier}, std::nullopt);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, ErrorLine("no password given: use --password-file, --password-fd, "
                                    "--password-command or LUMORA_PASSWORD, or run it from a "
                                    "terminal\nTry 'lumora-cli reveal --help'."));
    CliResult missingFile = Run({"reveal", carrier, "--password-file", At("none")});
    EXPECT_EQ(missingFile.status, 1);
    EXPECT_EQ(missingFile.err,
              ErrorLine("cannot read " + At("none") + ": No such file or directory"));
}

TEST_F(CliErrors, EveryCommandHasHelpOnStdout) {
    for (std::string command : {"info", "list", "reveal", "extract", "hide", "edit"}) {
        SCOPED_TRACE(command);
        CliResult help = Run({command, "--help"}, std::nullopt);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: lumora-cli " + command + " ", 0), 0u) << help.out;
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(Run({"help", command}, std::nullopt).out, help.out);
    }
    CliResult overview = Run({"--help"}, std::nullopt);
    EXPECT_EQ(overview.status, 0);
    for (std::string command : {"info", "list", "reveal", "extract", "hide", "edit"})
        EXPECT_NE(overview.out.find("  " + command + " "), std::string::npos) << command;
    CliResult version = Run({"--version"}, std::nullopt);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("lumora-cli ", 0), 0u);
}

TEST_F(CliErrors, FilesThatCannotBeHiddenAreRefusedBeforeAnythingIsWritten) {
    std::string image = ReferenceFile("base.png");
    MakeFile("a.txt", "a");
    std::filesystem::create_directories(At("other"));
    MakeFile("other/a.txt", "other a");
    MakeFile("veilnote.vnt", "not a message");
    MakeFile("back\\slash.txt", "b");
    ASSERT_EQ(::truncate(MakeFile("big.bin", "").c_str(), 0x80000000LL), 0);
    MakeFile("empty.png", "");

    struct Case {
        std::vector<std::string> files;
        std::string reason;
        std::string line; // where the wording itself is checked
    };
    std::vector<std::string> tooMany;
    for (int i = 0; i < 101; ++i)
        tooMany.push_back(MakeFile("f" + std::to_string(i), ""));
    const Case cases[] = {
        {{"a.txt", "missing.txt"},
         "read-failed",
         "cannot read missing.txt: No such file or directory"},
        {{"big.bin"}, "file-too-large", ""},
        {{"a.txt", "./a.txt"}, "file-given-twice", "./a.txt is given twice"},
        {{"a.txt", "other/a.txt"},
         "name-taken",
         "a.txt and other/a.txt would both be hidden as a.txt; hidden files need different names"},
        {{"veilnote.vnt"}, "name-reserved", ""},
        {{"back\\slash.txt"}, "name-has-backslash", ""},
        {tooMany, "too-many-files",
         "too many files: at most 100 files can be hidden, this would make 101"},
    };
    CliOptions inScratch;
    inScratch.workingFolder = m_dir.Path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<std::string> args{"hide", "--json", image, "-o", "out.png"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        CliResult result = Run(args, "pw", inScratch);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(ReasonIn(result.out), c.reason);
        if (!c.line.empty()) {
            EXPECT_EQ(result.err, ErrorLine(c.line));
        }
    }
    CliResult emptyImage = Run({"hide", "empty.png", "-o", "out.png"}, "pw", inScratch);
    EXPECT_EQ(emptyImage.err, ErrorLine("cannot hide data in empty.png: the file is empty"));
    CliResult emptyPassword = Run({"hide", image, "-o", "out.png"}, "", inScratch);
    EXPECT_EQ(emptyPassword.status, 1);
    EXPECT_EQ(emptyPassword.err, ErrorLine("the password must not be empty"));
    EXPECT_FALSE(FileExists(At("out.png")));
}

TEST_F(CliErrors, EditChecksNamesAgainstTheFilesItKeeps) {
    std::string carrier = HideInto("c.png", {MakeFile("a.txt", "a")});
    auto before = ReadFile(carrier);
    std::filesystem::create_directories(At("new"));
    std::string replacement = MakeFile("new/a.txt", "new a");

    CliResult clash = Run({"edit", carrier, "--add", replacement});
    EXPECT_EQ(clash.status, 1);
    EXPECT_EQ(
        clash.err,
        ErrorLine(carrier + " already hides a file named a.txt (remove it with --remove a.txt)"));
    CliResult unknown = Run({"edit", carrier, "--remove", "b.txt"});
    EXPECT_EQ(unknown.err, ErrorLine("no hidden file named b.txt in " + carrier));
    EXPECT_EQ(ReadFile(carrier), before);

    ASSERT_EQ(Run({"edit", carrier, "--remove", "a.txt", "--add", replacement}).status, 0);
    ASSERT_EQ(Run({"extract", carrier, "a.txt", "-d", At("out")}).status, 0);
    EXPECT_EQ(ReadText(At("out/a.txt")), "new a");
}

TEST_F(CliErrors, FilesWithoutHiddenDataExitWithFour) {
    std::string photo = MakeFile("photo.jpg", ReadText(ReferenceFile("base.jpg")));
    MakeFile("tiny.txt", "too small to hold sealed data");
    CliOptions inScratch;
    inScratch.workingFolder = m_dir.Path();
    const std::string notOpened = "no hidden data found, or the password does not open it";
    const std::string hint = "no classic data in photo.jpg (add --sealed to try a password on "
                             "sealed data)";
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> password;
        std::string error;
    };
    const Case cases[] = {
        // With a password, a file without classic data is tried as sealed.
        {{"list", "photo.jpg"}, "pw", notOpened},
        {{"reveal", "photo.jpg"}, "pw", notOpened},
        {{"extract", "photo.jpg", "a", "-d", "out"}, "pw", notOpened},
        {{"edit", "photo.jpg", "-m", "x"}, "pw", notOpened},
        {{"strip", "photo.jpg", "-o", "out.jpg"}, "pw", notOpened},
        // Without one it is not.
        {{"reveal", "photo.jpg"}, std::nullopt, hint},
        // A file too small for sealed data holds none.
        {{"reveal", "tiny.txt", "--sealed"}, "pw", "no hidden data in tiny.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + (c.password ? " with a password" : ""));
        CliResult result = Run(c.args, c.password, inScratch);
        EXPECT_EQ(result.status, 4);
        EXPECT_EQ(result.err, ErrorLine(c.error));
    }
    EXPECT_FALSE(FileExists(At("out")));
    EXPECT_FALSE(FileExists(At("out.jpg")));
    const std::string panel = "Image File Size: 1.31 KB\nImage Part Size: 1.31 KB\n"
                              "Hidden Text Messages Size: 0 Byte\nHidden Files Number: 0\n"
                              "Hidden Files Total Size: 0 Byte\n";
    CliResult info = Run({"info", photo}, std::nullopt);
    EXPECT_EQ(info.status, 4);
    EXPECT_EQ(info.out,
              photo + ": no classic data (sealed data cannot be seen without its password)\n" +
                  panel);
    CliResult tried = Run({"info", photo}, "pw");
    EXPECT_EQ(tried.status, 4);
    EXPECT_EQ(tried.out, photo + ": " + notOpened + "\n" + panel);
    CliResult missing = Run({"info", At("missing.jpg")}, std::nullopt);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              ErrorLine("cannot read " + At("missing.jpg") + ": No such file or directory"));
}

TEST_F(CliErrors, WrongPasswordExitsWithThreeAndChangesNothing) {
    std::string carrier = HideInto("c.png", {"-m", "secret", MakeFile("a.txt", "a")});
    auto before = ReadFile(carrier);
    for (std::vector<std::string> args : {std::vector<std::string>{"list", carrier},
                                          {"reveal", carrier},
                                          {"extract", carrier, "a.txt", "-d", At("out")},
                                          {"edit", carrier, "--clear-message"}}) {
        SCOPED_TRACE(args[0]);
        CliResult result = Run(args, "wrong");
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err, ErrorLine("wrong password"));
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ReadFile(carrier), before);
    EXPECT_FALSE(FileExists(At("out")));
}

TEST_F(CliErrors, ExistingFilesAreOverwrittenOnlyWithForce) {
    std::string carrier = HideInto(
        "c.png", {"-m", "m", MakeFile("a.txt", "hidden a"), MakeFile("b.txt", "hidden b")});
    MakeFile("taken.png", "keep me");
    std::string image = ReferenceFile("base.png");

    CliResult hide = Run({"hide", image, "-o", At("taken.png")});
    EXPECT_EQ(hide.status, 1);
    EXPECT_EQ(hide.err,
              ErrorLine(At("taken.png") + " already exists (use --force to overwrite it)"));
    CliResult edit = Run({"edit", carrier, "-o", At("taken.png"), "-m", "x"});
    EXPECT_EQ(edit.status, 1);
    EXPECT_EQ(ReadText(At("taken.png")), "keep me");
    EXPECT_EQ(Run({"hide", image, "-o", At("taken.png"), "--force"}).status, 0);
    EXPECT_EQ(Run({"reveal", At("taken.png")}).status, 0);

    std::filesystem::create_directories(At("out"));
    MakeFile("out/b.txt", "mine");
    CliResult reveal = Run({"reveal", carrier, "-d", At("out")});
    EXPECT_EQ(reveal.status, 1);
    EXPECT_EQ(reveal.err,
              ErrorLine(At("out/b.txt") + " already exists (use --force to overwrite it)"));
    EXPECT_EQ(reveal.out, "");
    EXPECT_FALSE(FileExists(At("out/a.txt"))) << "nothing is written when a target exists";
    EXPECT_EQ(ReadText(At("out/b.txt")), "mine");
    EXPECT_EQ(Run({"extract", carrier, "b.txt", "-d", At("out")}).status, 1);

    ASSERT_EQ(Run({"reveal", carrier, "-d", At("out"), "--force"}).status, 0);
    EXPECT_EQ(ReadText(At("out/b.txt")), "hidden b");
    EXPECT_EQ(ReadText(At("out/a.txt")), "hidden a");
    auto leftovers = std::distance(std::filesystem::directory_iterator(At("out")), {});
    EXPECT_EQ(leftovers, 2) << "no temporary file stays beside the extracted ones";

    CliResult unknown = Run({"extract", carrier, "c.txt", "-d", At("out")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, ErrorLine("no hidden file named c.txt in " + carrier));
}

TEST_F(CliErrors, EntryNamesThatLeaveTheFolderAreNeverWritten) {
    const std::string outside = "/tmp/lumora-cli-test-evil.txt";
    for (std::string name :
         {std::string("../evil.txt"), outside, std::string("a/../../evil.txt")}) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(At("zip"));
        std::filesystem::remove(outside);
        std::string carrier = CarrierWithEntryName(name);
        std::filesystem::create_directories(At("dir/out"));
        CliResult result = Run({"reveal", carrier, "-d", At("dir/out"), "--force"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, ErrorLine("refusing to write the hidden file \"" + name +
                                        "\": its name points outside the target folder"));
        EXPECT_FALSE(FileExists(At("dir/evil.txt")));
        EXPECT_FALSE(FileExists(At("evil.txt")));
        EXPECT_FALSE(FileExists(outside));
        EXPECT_TRUE(std::filesystem::is_empty(At("dir/out")));
    }
}

TEST_F(CliErrors, SymbolicLinksInsideTheFolderAreNotFollowed) {
    // A carrier with a file in a folder: a link stands where that folder goes.
    const ReferenceCarrier& ref = ReferenceCarrierNamed("backslash-names.gif");
    const std::string& inFolder = ref.files[0].name;
    const std::string folder = "out/" + inFolder.substr(0, inFolder.find('/'));
    std::filesystem::create_directories(At("out"));
    std::filesystem::create_directories(At("elsewhere"));
    std::filesystem::create_directory_symlink(At("elsewhere"), At(folder));
    CliResult result =
        Run({"reveal", ReferenceFile(ref.file), "-d", At("out"), "--force"}, ref.password);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              ErrorLine(At(folder) + " is a symbolic link, which is never followed or replaced"));
    EXPECT_TRUE(std::filesystem::is_empty(At("elsewhere")));
}

TEST_F(CliErrors, TwoHiddenFilesWithOneNameAreBothWritten) {
    // The desktop program accepts two files of one name from different folders.
    std::filesystem::create_directories(At("a"));
    std::filesystem::create_directories(At("b"));
    {
        CBindImage engine;
        engine.SetPassword(Password(std::string("pw")));
        ASSERT_EQ(engine.OpenCarrier(ReferenceFile("base.png"), OPEN_UNPACK), 1);
        engine.DropAllFiles();
        ASSERT_EQ(engine.AddFileSlot(MakeFile("a/x.txt", "first"), SLOT_ADDED, -1, 0), 0);
        ASSERT_EQ(engine.AddFileSlot(MakeFile("b/x.txt", "second"), SLOT_ADDED, -1, 0), 1);
        ASSERT_EQ(engine.SaveCarrier(At("dup.png")), 1) << ReasonName(engine.LastStatus().reason);
    }
    EXPECT_EQ(Run({"list", At("dup.png")}).out, "      5 Byte  x.txt\n      6 Byte  x.txt\n");
    CliResult result = Run({"reveal", At("dup.png"), "-d", At("out"), "--force"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, At("out/x.txt") + "\n" +
                              ErrorLine("another hidden file is named x.txt; this one was "
                                        "written as x (2).txt") +
                              At("out/x (2).txt") + "\n");
    EXPECT_EQ(ReadText(At("out/x.txt")), "first");
    EXPECT_EQ(ReadText(At("out/x (2).txt")), "second");
}
