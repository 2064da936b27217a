// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli scan: finds carriers in folder trees from each file's size and last 60 bytes,
// without a password. Only regular files are opened, never through a link, and without
// blocking (a FIFO swapped in after the lstat cannot stall the walk).
#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/PerCarrier.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/TerminalText.h"
#include "cli/TreeWalk.h"
#include "engine/ClassicData.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace lumora::cli {
namespace {

// The trailer of the regular file `name` in the folder `folderFd` (lstat gave `info`),
// when the file holds classic data (engine/ClassicData.h).
std::optional<CarrierTrailer> ClassicTrailer(int folderFd, const std::string& name,
                                             const struct stat& info) {
    if (!S_ISREG(info.st_mode) || info.st_size <= kTrailerSize)
        return std::nullopt;
    const int fd =
        ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat opened {};
    std::optional<CarrierTrailer> trailer;
    // The file read is the one the walk found, not one swapped in since.
    if (::fstat(fd, &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino)
        trailer = ClassicTrailerOf(fd);
    ::close(fd);
    return trailer;
}

class Scan {
public:
    void Path(const std::string& path) {
        struct stat info {};
        // A path named on the command line is taken as given, links included.
        if (::stat(path.c_str(), &info) != 0) {
            Unreadable(path, errno);
            return;
        }
        if (S_ISDIR(info.st_mode)) {
            TreeVisitor visitor;
            visitor.entry = [this](const TreeEntry& entry) {
                Check(entry.folderFd, entry.name, entry.path, entry.info);
            };
            visitor.unreadable = [this](const std::string& folder, int error) {
                Unreadable(folder, error);
            };
            WalkTree(path, visitor);
            return;
        }
        Check(AT_FDCWD, path, path, info);
    }

    int Finish() const {
        if (JsonOutput())
            PrintJson(JsonArray(m_json));
        return m_failed ? InfoOf(Code::Failure).exitStatus : 0;
    }

private:
    void Check(int folderFd, const std::string& name, const std::string& path,
               const struct stat& info) {
        const auto trailer = ClassicTrailer(folderFd, name, info);
        if (!trailer)
            return;
        if (JsonOutput()) {
            m_json.push_back(JsonObject()
                                 .String("file", path)
                                 .String("code", InfoOf(Code::Ok).name)
                                 .Number("imageLength", trailer->imageLength)
                                 .Number("payloadLength", trailer->payloadLength)
                                 .Number("messageLength", trailer->messageLength)
                                 .Number("fileCount", trailer->fileCount)
                                 .Number("filesTotalSize", trailer->filesTotalSize)
                                 .Text());
            return;
        }
        std::printf("%s: Lumora carrier, %d hidden %s, %s hidden\n",
                    Shown(path, TextKind::Name, Stream::Out).c_str(), trailer->fileCount,
                    trailer->fileCount == 1 ? "file" : "files",
                    SizeText(trailer->payloadLength).c_str());
    }

    void Unreadable(const std::string& path, int error) {
        m_failed = true;
        const Status unreadable = Status::Fail(Reason::ReadFailed, path, error);
        const std::string text = ReasonText(unreadable);
        std::string line = "lumora-cli: " + Shown(text, TextKind::Line, Stream::Err) + "\n";
        std::fputs(line.c_str(), stderr);
        if (!JsonOutput())
            return;
        JsonObject object;
        object.String("file", path).String("code", InfoOf(CodeOf(unreadable.Outcome())).name);
        m_json.push_back(AddFailure(object, unreadable.reason, text).Text());
    }

    std::vector<std::string> m_json;
    bool m_failed = false;
};

} // namespace

int RunScan(const Arguments& args) {
    if (args.Operands().empty())
        throw UsageError("scan", "scan needs a PATH");
    Scan scan;
    for (const std::string& path : args.Operands())
        scan.Path(path);
    return scan.Finish();
}

} // namespace lumora::cli
