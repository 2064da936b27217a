// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SafeOutput.h"

#include "archive/EntryName.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumora::cli {
namespace {

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The new file beside the target; removed again unless it was moved into place.
class SiblingFile {
public:
    explicit SiblingFile(const std::string& target) {
        auto slash = target.rfind('/');
        std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
        m_path = folder + "/.lumora-cli-XXXXXX";
        int fd = ::mkstemp(m_path.data());
        if (fd < 0)
            throw Failure(CannotWrite(target));
        ::close(fd);
    }
    ~SiblingFile() {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    SiblingFile(const SiblingFile&) = delete;
    SiblingFile& operator=(const SiblingFile&) = delete;

    const std::string& Path() const { return m_path; }
    void Release() { m_path.clear(); }

private:
    std::string m_path;
};

void CopyInto(const std::string& source, const std::string& destination,
              const std::string& target) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throw Failure(CannotRead(source));
    int out = ::open(destination.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        throw Failure(CannotWrite(target));
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 || ::write(out, buffer, static_cast<size_t>(n)) != n || PendingSignal()) {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    StopIfInterrupted();
    if (!ok)
        throw Failure(CannotWrite(target));
}

} // namespace

std::string AlreadyExists(const std::string& path) {
    return path + " already exists (use --force to overwrite it)";
}

std::string TargetPath(const std::string& folder, const std::string& entryName) {
    if (!IsSafeEntryName(entryName))
        throw Failure("refusing to write the hidden file \"" + entryName +
                      "\": its name points outside the target folder");
    std::string target = folder;
    for (const auto& part : EntryNameParts(entryName))
        target += "/" + part;
    return target;
}

void CreateParentFolders(const std::string& folder, const std::string& target) {
    std::string path = folder;
    auto relative = target.substr(folder.size() + 1);
    auto parts = EntryNameParts(relative);
    parts.pop_back();
    for (const auto& part : parts) {
        path += "/" + part;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0) {
            if (S_ISLNK(info.st_mode))
                throw Failure("refusing to write " + target + ": " + path + " is a symbolic link");
            if (!S_ISDIR(info.st_mode))
                throw Failure("cannot write " + target + ": " + path + " is not a folder");
            continue;
        }
        if (::mkdir(path.c_str(), 0777) != 0)
            throw Failure(CannotWrite(path));
    }
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void PlaceFile(const std::string& source, const std::string& target, bool replace) {
    SiblingFile sibling(target);
    if (::rename(source.c_str(), sibling.Path().c_str()) != 0)
        CopyInto(source, sibling.Path(), target);
    ::chmod(sibling.Path().c_str(), NewFileMode());

    if (replace) {
        if (::rename(sibling.Path().c_str(), target.c_str()) != 0)
            throw Failure(CannotWrite(target));
        sibling.Release();
        return;
    }
    // link() fails when the target exists, so a file that appeared meanwhile is kept.
    if (::link(sibling.Path().c_str(), target.c_str()) == 0)
        return;
    if (errno == EEXIST)
        throw Failure(AlreadyExists(target));
    if (PathExists(target))
        throw Failure(AlreadyExists(target));
    // File systems without hard links.
    if (::rename(sibling.Path().c_str(), target.c_str()) != 0)
        throw Failure(CannotWrite(target));
    sibling.Release();
}

} // namespace lumora::cli
