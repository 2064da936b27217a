// SPDX-License-Identifier: GPL-2.0-or-later
// Writes a file so that it appears complete or not at all.
//
// The new content goes to a new file in the destination's folder: an unnamed one
// (O_TMPFILE) where the file system allows it, so a process killed while writing leaves
// nothing behind; otherwise a named temporary "<name>.lumora-XXXXXX" (mode 0600) that its
// writer keeps locked with flock, so RemoveStaleSaveLeftovers can tell an interrupted
// write from a live one. Commit flushes and syncs the file and links it into place; a file
// that is never committed disappears.
//
// The destination is a name in an open folder and is never followed: only a regular file
// is ever replaced. A symbolic link, folder, device node, FIFO or socket there fails the
// commit and stays as it is (errno ELOOP for a link, EISDIR for a folder, EEXIST for the
// rest), also when replacing was asked for.
//
// Permissions: a replaced file's permission bits (read, write, execute for owner, group
// and others) pass to the new file; a new file gets 0666 (or the mode set with
// SetNewFileMode) less the umask. The replaced
// file's owner and group, its ACLs and extended attributes are not kept: the new file
// belongs to the user who writes it.
#pragma once

#include "platform/FolderHandle.h"

#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lumora {

enum class Replace {
    Never,  // an existing destination fails the commit with EEXIST and is kept
    Always, // an existing regular file is replaced
};

class AtomicFile {
public:
    // Syncing can be left out for copies that can be made again (working files).
    enum class Sync { Yes, No };

    // The file `name` (one component) in `folder`, which is duplicated.
    AtomicFile(const FolderHandle& folder, std::string name);
    // The file at `path`: its folder is opened on Open, through links as the path says;
    // the last component is the destination and is never followed.
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The permission bits a new file gets, less the umask (0600 for a private one).
    void SetNewFileMode(mode_t mode) { m_newFileMode = mode & 0777; }
    // Creates the new file; false with errno (EISDIR when the destination is a folder).
    [[nodiscard]] bool Open();
    // The new file, open for reading and writing: a buffered stream and its descriptor.
    // Flush the stream before using the descriptor directly. Null and -1 when not open.
    FILE* Stream() const { return m_stream; }
    int Fd() const;
    [[nodiscard]] bool Write(const void* data, size_t length);

    // Why Commit would refuse the destination as it is now (ELOOP, EISDIR, EEXIST), or 0;
    // lets a writer stop before it writes anything.
    [[nodiscard]] int Refusal(Replace replace) const;
    // Starts writing what the new file holds (flush the stream first) to the disk without
    // waiting for it, so work done meanwhile hides the wait of Commit's sync. Best effort.
    void StartSync() const;
    // Puts the new file in place; false with errno, and the new file is gone. Either way
    // the file is closed afterwards.
    [[nodiscard]] bool Commit(Replace replace, Sync sync = Sync::Yes);
    // Discards the new file; the destination is untouched.
    void Abort();
    // Commit with Replace::Always then replaces only the file of this device and inode:
    // when another file has taken the name meanwhile (renamed over it), or none is there,
    // Commit fails with ESTALE and leaves the name as it is. Where the file system can
    // exchange two names in one step (renameat2 with RENAME_EXCHANGE), the new file is
    // swapped in, what came out is checked, and a wrong one is swapped back. Where it
    // cannot, the name is checked just before the rename: a rename in between those two
    // steps goes unnoticed.
    void ReplaceOnly(dev_t device, ino_t inode);

    // The destination's folder (open after Open) and name, and its path for messages.
    const FolderHandle& Folder() const { return m_folder; }
    const std::string& Name() const { return m_name; }
    const std::string& Destination() const { return m_destination; }
    // The named temporary's name; empty while the new file is unnamed or not open.
    const std::string& TempName() const { return m_tempName; }

    // Tests make every new file a named temporary, as on a file system without O_TMPFILE.
    static void UseNamedTemporariesOnly(bool namedOnly);

private:
    [[nodiscard]] bool PlaceUnnamed(Replace replace);
    [[nodiscard]] bool PlaceNamed(Replace replace);
    // Renames the temporary `temporary` over the destination, as ReplaceOnly says.
    [[nodiscard]] bool RenameOver(const std::string& temporary);
    void Close();

    FolderHandle m_folder;
    std::string m_name;
    std::string m_destination;
    std::string m_tempName;
    FILE* m_stream = nullptr;
    std::vector<char> m_buffer;
    mode_t m_newFileMode = 0666;
    bool m_replaceOnly = false;
    dev_t m_replacedDevice = 0;
    ino_t m_replacedInode = 0;
};

// Removes what interrupted writes of `targetName` left in `folder`: named temporaries
// that are regular files of the current user and whose writer's lock is free (it is taken
// here first). Links and other users' files are left alone. Returns how many went.
int RemoveStaleSaveLeftovers(const FolderHandle& folder, const std::string& targetName);

} // namespace lumora
