// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers for the archive tests: running the zip tools and Python's zipfile, and reading
// an archive's entries through CUnzipper.
#pragma once

#include "archive/ZipEntryInfo.h"
#include "crypt/SecretBytes.h"
#include "support/ShellCommand.h"

#include <optional>
#include <string>
#include <vector>

namespace lumora::test {

// Python's view of each entry of an archive (see tests/data/archive/zipinfo.py).
struct PythonEntry {
    std::string name;
    int flags = 0;
    int method = 0;
    std::string dateTime;
    int internalAttributes = 0;
    long externalAttributes = 0;
    int centralExtraLength = 0;
    int localExtraLength = 0;
    int commentLength = 0;
    std::string sha256;
    std::string stream;
};
// Empty when Python could not read the archive (for example with a wrong password).
std::vector<PythonEntry> DescribeWithPython(const std::string& archive,
                                            const std::optional<std::string>& password);

// Writes an archive with Python's zipfile; args as for tests/data/archive/make_zip.py.
bool MakeZipWithPython(const std::string& out, const std::vector<std::string>& args);

// Runs Info-ZIP zip at level 9 in folder on files (separated by spaces), with -P password
// when given; piped writes to a pipe, where zip streams with data descriptors. False when
// zip is missing or fails.
bool MakeZipWithInfoZip(const std::string& out, const std::string& folder, const std::string& files,
                        const std::optional<std::string>& password, bool piped);

// One letter per entry check, for compact tables: O(k), W(rong password), D(amaged),
// U(nsupported), C(ancelled), F(ailed write).
char Code(EntryCheck check);

// A Password that lives as long as the test program, for the zipper's and unzipper's
// borrowing SetPassword; null for none.
const Password* KeptPassword(const std::optional<std::string>& text);

// The entries of an archive as CUnzipper lists them.
std::vector<ZipEntryInfo> ListEntries(const std::string& archive);
std::vector<std::string> EntryNames(const std::string& archive);

} // namespace lumora::test
