// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/CommandTable.h"

#include "cli/Commands.h"

#include <algorithm>

namespace lumora::cli {
namespace {

// Commands that work on files and report what they did.
#define WORK_COMMANDS "info list reveal extract hide edit passwd verify strip scan"
// Commands that open a carrier with its password (info and strip only for sealed data).
#define OPENING_COMMANDS "info list reveal extract edit passwd verify strip"
// Commands that read carriers and try a file without classic data as sealed on request.
#define READING_COMMANDS "info list reveal extract verify strip"
// How the reading commands treat a file without classic data.
#define SEALED_TRY                                                                                 \
    " A file without classic data is tried, when a password source is given or with --sealed "     \
    "or --woven, as a sealed carrier when bytes follow its picture and as a woven one when "       \
    "none do (a JPEG, PNG or BMP); otherwise it counts as holding no hidden data, at once."
// Commands that write a carrier or a picture.
#define WRITING_COMMANDS "hide edit passwd strip"

const std::vector<CommandSpec> kCommands = {
    {"info", "CARRIER...", Completion::File,
     "show what a file carries (no password needed for classic data)",
     "Show whether each CARRIER holds hidden data and how large its parts are: file size, "
     "image part, hidden message, number and total size of the hidden files. Classic data "
     "shows without a password; sealed data cannot be seen without its password, and once "
     "it opens, the numbers come from its archive." SEALED_TRY
     " The exit status is 4 when no hidden data is seen. With --capacity, show instead how "
     "much each picture can carry woven, without a password.",
     RunInfo},
    {"list", "CARRIER...", Completion::File, "list the hidden files",
     "List the files hidden in each CARRIER with their sizes. Several carriers are opened "
     "with one password." SEALED_TRY,
     RunList},
    {"reveal", "CARRIER", Completion::File, "print the hidden message, optionally write the files",
     "Print the hidden message of CARRIER on standard output (nothing when there is none). "
     "With -d, also write every hidden file below DIR and list the files written on "
     "standard error." SEALED_TRY,
     RunReveal},
    {"extract", "CARRIER NAME...", Completion::File, "write some of the hidden files",
     "Write the hidden files called NAME (as \"list\" shows them) below DIR, or with "
     "--stdout to standard output, one after the other. A NAME that no file has stands for "
     "the files below the folder NAME, or else for those it matches as a shell pattern "
     "(quote it; * and ? also match /). With --stdout, a NAME that several files have is "
     "refused." SEALED_TRY,
     RunExtract},
    {"hide", "IMAGE [FILE|FOLDER...]", Completion::File,
     "make a new carrier from a picture, a message and files",
     "Make the carrier OUTPUT: the bytes of IMAGE, then the message and up to 100 files, "
     "encrypted under a new password. Use --sealed: each password guess then costs a "
     "second and 256 MiB, and only Lumora opens the carrier. --woven hides it inside the "
     "picture's own elements instead (a JPEG, PNG or BMP; OUTPUT is then an ordinary "
     "picture of the same kind with nothing after its end, and the content must fit the "
     "picture's capacity, which info --capacity shows, unless --force is given). The "
     "classic format, the default (LUMORA_FORMAT=sealed or woven changes it), is right only "
     "when another program of that format must open the carrier. A folder adds the regular "
     "files below it, under names that start with the folder's name; a message or a file is "
     "needed. IMAGE must be a picture (told by its bytes, not its name) with nothing after "
     "its end; classic data it carries is replaced. Anything else, a picture in a text "
     "format (SVG and the like) included, is refused unless --force is given, with which "
     "sealed data behind IMAGE is cut off by --sealed when the new password opens it and "
     "otherwise stays inside the new carrier's image part. A weak new password is warned "
     "about on standard error, also with -q.",
     RunHide},
    {"edit", "CARRIER", Completion::File, "change the message and files of a carrier",
     "Save CARRIER again with its message replaced or cleared and files added or removed, "
     "under the same password and in the same format (a woven carrier is woven again into its "
     "own picture, which adds changes: hiding again into the original picture is cleaner); "
     "--sealed, --classic or --woven converts it. Converting out of woven, or from sealed "
     "into woven, leaves the old data inside the picture and needs --force. "
     "CARRIER is replaced in one step once the new carrier is "
     "complete and read back; with -o the result goes to OUTPUT instead.",
     RunEdit},
    {"passwd", "CARRIER", Completion::File, "save a carrier under a new password",
     "Save CARRIER again, with everything it hides, under a new password and in the same "
     "format (a sealed or woven carrier gets a new salt, so a new key; a woven one is woven "
     "again into its own picture). The current "
     "password comes from the usual sources, the new one from --new-password-file, "
     "--new-password-fd, --new-password-command or a prompt that asks twice.",
     RunPasswd},
    {"verify", "CARRIER...", Completion::File, "check that the hidden data is intact",
     "Check that the hidden data of each CARRIER is intact: the password opens it, it "
     "decrypts (sealed data: every byte authenticates), and the message and every hidden "
     "file pass their CRC-32 check. Nothing is written outside Lumora's own working "
     "folder." SEALED_TRY,
     RunVerify},
    {"strip", "CARRIER", Completion::File, "write the picture without the hidden data",
     "Write the picture that CARRIER was made from to IMAGE, byte for byte, and print its "
     "SHA-256 the way sha256sum does. Classic data needs no password; sealed data needs its "
     "password to tell where the picture ends. Woven data lies inside the picture and "
     "cannot be stripped." SEALED_TRY,
     RunStrip},
    {"scan", "PATH...", Completion::File, "find classic carriers in folders (no password needed)",
     "Walk each PATH and report every file that ends in a valid classic Lumora trailer. "
     "Sealed carriers are not found: without their password they cannot be told from other "
     "files. Symbolic "
     "links below a PATH are not followed and only regular files are opened. Folders that "
     "cannot be read are reported and skipped; the exit status is then 1.",
     RunScan},
    {"completion", "SHELL", Completion::Shell, "print the completion script for bash, zsh or fish",
     "Print the completion script for SHELL (bash, zsh or fish). Installed copies already "
     "have them in place.",
     RunCompletion},
    {"help", "[COMMAND]", Completion::Command, "show the help of a command",
     "Show the overview, or the help of COMMAND.", RunHelp},
    {"version", "", Completion::None, "print the version", "Print the version.", RunVersion},
};

const std::vector<OptionSpec> kOptions = {
    {"output", 'o', "OUTPUT", false, Completion::File, "hide edit passwd",
     "write the carrier to OUTPUT (- for standard output, not a terminal)"},
    {"output", 'o', "IMAGE", false, Completion::File, "strip",
     "write the picture to IMAGE (- for standard output, not a terminal)"},
    {"directory", 'd', "DIR", false, Completion::Folder, "reveal extract",
     "write the hidden files below DIR (made when missing)"},
    {"stdout", 0, nullptr, false, Completion::None, "extract",
     "write the hidden files to standard output instead (not a terminal)"},
    {"message", 'm', "TEXT", false, Completion::None, "hide edit",
     "the message to hide; other users can see it in the process list, and the shell "
     "keeps it in its history: prefer -e or --message-file"},
    {"message-file", 0, "FILE", false, Completion::File, "hide edit",
     "hide the content of FILE as the message (- for standard input)"},
    {"edit-message", 'e', nullptr, false, Completion::None, "hide edit",
     "write the message in an editor: $VISUAL, else $EDITOR, else editor, else vi"},
    {"clear-message", 0, nullptr, false, Completion::None, "edit", "remove the message"},
    {"add", 0, "FILE", true, Completion::File, "edit",
     "hide FILE, or the files below a folder, as well (repeatable)"},
    {"remove", 0, "NAME", true, Completion::None, "edit",
     "leave out the hidden file NAME, the files below the folder NAME, or those NAME "
     "matches as a shell pattern, where * also matches / (repeatable)"},
    {"keep-damaged", 0, nullptr, false, Completion::None, "edit passwd",
     "copy damaged hidden files and a damaged message into the new carrier as they are "
     "stored"},
    {"drop-damaged", 0, nullptr, false, Completion::None, "edit passwd",
     "leave damaged hidden files and a damaged message out of the new carrier"},
    {"force", 0, nullptr, false, Completion::None, WRITING_COMMANDS " reveal extract",
     "replace existing output files; go on where hidden content would be lost, the carrier "
     "changed meanwhile, the picture would break, woven content exceeds the picture's "
     "capacity or a conversion leaves old data inside the picture"},
    {"sealed", 0, nullptr, false, Completion::None, "hide",
     "write a sealed carrier: password guesses cost a second and 256 MiB each and every "
     "byte is authenticated, but only Lumora opens it"},
    {"classic", 0, nullptr, false, Completion::None, "hide",
     "write a classic carrier, which other programs of this format read (the default)"},
    {"woven", 0, nullptr, false, Completion::None, "hide",
     "write a woven carrier: the data goes inside the picture's own elements, sealed as a "
     "sealed carrier is, and nothing follows the picture; only Lumora opens it"},
    {"sealed", 0, nullptr, false, Completion::None, "edit", "save the carrier as a sealed one"},
    {"woven", 0, nullptr, false, Completion::None, "edit",
     "save the carrier as a woven one, inside its picture"},
    {"classic", 0, nullptr, false, Completion::None, "edit",
     "save the carrier as a classic one, which other programs of this format read"},
    {"sealed", 0, nullptr, false, Completion::None, READING_COMMANDS,
     "try a file without classic data as a sealed carrier, asking for the password when no "
     "source gives one"},
    {"woven", 0, nullptr, false, Completion::None, READING_COMMANDS,
     "try a picture without classic data as a woven carrier, asking for the password when "
     "no source gives one"},
    {"capacity", 0, nullptr, false, Completion::None, "info",
     "show how much each picture can carry woven (no password needed)"},
    {"password-file", 0, "FILE", false, Completion::File, OPENING_COMMANDS " hide",
     "read the password from the first line of FILE (- for standard input)"},
    {"password-fd", 0, "N", false, Completion::None, OPENING_COMMANDS " hide",
     "read the password from the first line of the open file descriptor N"},
    {"password-command", 0, "COMMAND", false, Completion::Program, OPENING_COMMANDS " hide",
     "run COMMAND (split into words, without a shell) and take the first line of its output "
     "as the password"},
    {"new-password-file", 0, "FILE", false, Completion::File, "passwd",
     "read the new password from the first line of FILE (- for standard input)"},
    {"new-password-fd", 0, "N", false, Completion::None, "passwd",
     "read the new password from the first line of the open file descriptor N"},
    {"new-password-command", 0, "COMMAND", false, Completion::Program, "passwd",
     "run COMMAND and take the first line of its output as the new password"},
    {"threads", 0, "N", false, Completion::None, "hide edit passwd reveal extract verify",
     "hide, reveal and check on N threads, 1 to 64 (default: $LUMORA_THREADS, else one "
     "per processor)"},
    {"json", 0, nullptr, false, Completion::None, WORK_COMMANDS " help completion version",
     "print the result as JSON on standard output, errors too"},
    {"quiet", 'q', nullptr, false, Completion::None, WORK_COMMANDS,
     "print nothing on standard error but errors"},
    {"verbose", 'v', nullptr, false, Completion::None, WORK_COMMANDS,
     "tell each step on standard error"},
    {"help", 'h', nullptr, false, Completion::None, "*", "show this help"},
    {"version", 'V', nullptr, false, Completion::None, "lumora-cli", "print the version"},
};

#undef WORK_COMMANDS
#undef OPENING_COMMANDS
#undef READING_COMMANDS
#undef SEALED_TRY
#undef WRITING_COMMANDS

} // namespace

const std::vector<CommandSpec>& CommandSpecs() {
    return kCommands;
}

const std::vector<OptionSpec>& OptionSpecs() {
    return kOptions;
}

const CommandSpec* FindCommand(std::string_view name) {
    auto found = std::find_if(kCommands.begin(), kCommands.end(),
                              [&](const CommandSpec& command) { return command.name == name; });
    return found == kCommands.end() ? nullptr : &*found;
}

bool TakesOption(const OptionSpec& option, std::string_view command) {
    std::string_view names = option.commands;
    if (names == "*")
        return true;
    while (!names.empty()) {
        const size_t space = names.find(' ');
        if (names.substr(0, space) == command)
            return true;
        names = space == std::string_view::npos ? std::string_view() : names.substr(space + 1);
    }
    return false;
}

std::vector<const OptionSpec*> OptionsOf(std::string_view command) {
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& option : kOptions)
        if (TakesOption(option, command))
            options.push_back(&option);
    return options;
}

} // namespace lumora::cli
