// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryRecord.h"

#include <algorithm>

namespace lumora {

bool ReadEntryRecord(unzFile unz, EntryRecord& record) {
    if (unzGetCurrentFileInfo64(unz, &record.info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    record.storedName.assign(record.info.size_filename, '\0');
    record.extra.assign(record.info.size_file_extra, 0);
    record.comment.assign(record.info.size_file_comment, '\0');
    if (unzGetCurrentFileInfo64(unz, &record.info, record.storedName.data(),
                                record.storedName.size(), record.extra.data(), record.extra.size(),
                                record.comment.data(), record.comment.size()) != UNZ_OK)
        return false;
    record.name = record.storedName;
    std::replace(record.name.begin(), record.name.end(), '\\', '/');
    return true;
}

} // namespace lumora
