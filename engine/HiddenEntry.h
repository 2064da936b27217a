// SPDX-License-Identifier: GPL-2.0-or-later
// One file entry of an unlocked carrier's payload archive (the message entry is not one).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumora {

struct HiddenEntry {
    int index = -1;   // position in the payload archive: how the session names the entry
    std::string name; // as stored, with "\" read as "/"; not necessarily UTF-8
    int64_t size = 0; // bytes when extracted
    // One of the 100 slots of the format lists it: the entries a file list shows. The
    // others (past the 100th, names that cannot be written out) are -1 and are carried
    // over unchanged by a save.
    int slot = -1;
    bool writable = true; // the name can be written below a folder
    // Seconds since 1970, where the carrier keeps the file's modification time; a file
    // written out gets it back.
    std::optional<int64_t> modifiedTime;
    // Known to fail its checks: found at unlocking, by a read or by a verify. A save
    // carries it only as the request says (SaveRequest::damaged).
    bool damaged = false;
};

} // namespace lumora
