// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/HelpText.h"

namespace lumora::cli {
namespace {

constexpr const char* kPasswordNote =
    "\nThe password is the first line of --password-file FILE, else the value of\n"
    "LUMORA_PASSWORD, else it is asked for on the terminal. It is never an argument.\n";

struct CommandText {
    const char* name;
    const char* text;
};

const CommandText kCommands[] = {
    {"info", "usage: lumora-cli info CARRIER [--json]\n"
             "\n"
             "Show whether CARRIER holds hidden data and how large its parts are: file size,\n"
             "image part, hidden text, number and total size of the hidden files.\n"
             "No password is needed.\n"
             "\n"
             "  --json    print the raw numbers as one JSON object\n"},
    {"list", "usage: lumora-cli list CARRIER [--json] [--password-file FILE]\n"
             "\n"
             "List the files hidden in CARRIER with their sizes.\n"
             "\n"
             "  --json                 print a JSON array of {\"name\", \"size\"} objects\n"
             "  --password-file FILE   read the password from the first line of FILE\n"},
    {"reveal", "usage: lumora-cli reveal CARRIER [-d DIR] [--force] [--password-file FILE]\n"
               "\n"
               "Print the hidden message of CARRIER on stdout (nothing when there is none).\n"
               "With -d, also write every hidden file into DIR.\n"
               "\n"
               "  -d, --directory DIR    write the hidden files into DIR (created if needed)\n"
               "  --force                overwrite files that already exist in DIR\n"
               "  --password-file FILE   read the password from the first line of FILE\n"},
    {"extract", "usage: lumora-cli extract CARRIER NAME... -d DIR [--force]\n"
                "                          [--password-file FILE]\n"
                "\n"
                "Write the hidden files called NAME (as \"list\" shows them) into DIR.\n"
                "\n"
                "  -d, --directory DIR    the folder to write into (created if needed)\n"
                "  --force                overwrite files that already exist in DIR\n"
                "  --password-file FILE   read the password from the first line of FILE\n"},
    {"hide", "usage: lumora-cli hide IMAGE -o OUTPUT [-m TEXT | --message-file FILE]\n"
             "                       [FILE...] [--force] [--password-file FILE]\n"
             "\n"
             "Make the carrier OUTPUT: the bytes of IMAGE, then the message and up to 100\n"
             "files, encrypted under a new password. A password typed on the terminal is\n"
             "asked twice. Hidden data that IMAGE already carries is replaced.\n"
             "\n"
             "  -o, --output OUTPUT    the carrier to write\n"
             "  -m, --message TEXT     the message to hide\n"
             "  --message-file FILE    hide the content of FILE as the message (- for stdin)\n"
             "  --force                overwrite OUTPUT when it exists\n"
             "  --password-file FILE   read the password from the first line of FILE\n"},
    {"edit", "usage: lumora-cli edit CARRIER [-o OUTPUT] [-m TEXT | --message-file FILE |\n"
             "                       --clear-message] [--add FILE]... [--remove NAME]...\n"
             "                       [--force] [--password-file FILE]\n"
             "\n"
             "Save CARRIER again with its message replaced or cleared and files added or\n"
             "removed, under the same password. CARRIER is replaced in one step, only once\n"
             "the new carrier is complete; with -o the result goes to OUTPUT instead.\n"
             "\n"
             "  -o, --output OUTPUT    write the result to OUTPUT, leaving CARRIER as it is\n"
             "  -m, --message TEXT     replace the message\n"
             "  --message-file FILE    replace the message by the content of FILE (- for stdin)\n"
             "  --clear-message        remove the message\n"
             "  --add FILE             hide FILE as well (repeatable)\n"
             "  --remove NAME          leave out the hidden file NAME (repeatable)\n"
             "  --force                overwrite OUTPUT when it exists\n"
             "  --password-file FILE   read the password from the first line of FILE\n"},
    {"verify", "usage: lumora-cli verify CARRIER [--password-file FILE]\n"
               "\n"
               "Check that the hidden data of CARRIER is intact: the password opens it, it\n"
               "decrypts, and the message and every hidden file pass their CRC-32 check.\n"
               "Nothing is written outside Lumora's own working folder. Exit status 0 only\n"
               "when all is intact, 1 when something is damaged.\n"
               "\n"
               "  --password-file FILE   read the password from the first line of FILE\n"},
    {"strip", "usage: lumora-cli strip CARRIER -o IMAGE [--force]\n"
              "\n"
              "Write the picture that CARRIER was made from to IMAGE, byte for byte, and\n"
              "print its SHA-256 the way sha256sum does. No password is needed.\n"
              "\n"
              "  -o, --output IMAGE     the picture to write\n"
              "  --force                overwrite IMAGE when it exists\n"},
};

bool NeedsPassword(const std::string& command) {
    return command != "info" && command != "strip";
}

} // namespace

const char* ProgramHelp() {
    return "usage: lumora-cli COMMAND [ARGS...]\n"
           "       lumora-cli help [COMMAND] | --help | --version\n"
           "\n"
           "Hide a message and files behind the bytes of an image, encrypted under a\n"
           "password, and read them back. Carriers are the same as those of Lumora.\n"
           "\n"
           "Commands:\n"
           "  info      show what a file carries (no password needed)\n"
           "  list      list the hidden files\n"
           "  reveal    print the hidden message, optionally write out the files\n"
           "  extract   write out some of the hidden files\n"
           "  hide      make a new carrier from an image, a message and files\n"
           "  edit      change the message and files of a carrier\n"
           "  verify    check that the hidden data is intact\n"
           "  strip     write out the picture without the hidden data\n"
           "\n"
           "Run \"lumora-cli COMMAND --help\" for the options of a command.\n"
           "\n"
           "Exit status: 0 success, 1 failure, 2 usage error, 3 wrong password,\n"
           "4 no hidden data in the file.\n";
}

std::string CommandHelp(const std::string& command) {
    for (const auto& entry : kCommands)
        if (command == entry.name)
            return std::string(entry.text) + (NeedsPassword(command) ? kPasswordNote : "");
    return std::string();
}

} // namespace lumora::cli
