// SPDX-License-Identifier: GPL-2.0-or-later
// CZipper::CopyEntryFrom: entries carried from one archive into another without being
// inflated, their stored bytes kept or enciphered afresh.
#include "archive/EntryRecord.h"
#include "archive/StoredDataReader.h"
#include "archive/Unzipper.h"
#include "archive/ZipFormat.h"
#include "archive/Zipper.h"
#include "platform/ByteOrder.h"

#include <algorithm>
#include <minizip/zip.h>

namespace lumora {
namespace {

constexpr size_t kBlockSize = 16384;
constexpr unsigned kZip64ExtraId = 0x0001;
// Room left in a 16-bit extra field length for the zip64 field minizip may add.
constexpr size_t kMaxCopiedExtra = 0xFFFF - 32;

// The extra field without zip64 blocks, which minizip writes anew where they are needed.
// A block that runs past the end of the field ends it: readers could not parse what
// follows either.
std::vector<uint8_t> WithoutZip64Field(const std::vector<uint8_t>& extra) {
    std::vector<uint8_t> kept;
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const unsigned id = LoadLe16(&extra[at]);
        const size_t size = LoadLe16(&extra[at + 2]);
        if (at + 4 + size > extra.size())
            break;
        if (id != kZip64ExtraId)
            kept.insert(kept.end(), extra.begin() + static_cast<long>(at),
                        extra.begin() + static_cast<long>(at + 4 + size));
        at += 4 + size;
    }
    return kept;
}

zip_fileinfo FileInfoOf(const unz_file_info64& info) {
    zip_fileinfo fileInfo{};
    fileInfo.dosDate = info.dosDate;
    fileInfo.internal_fa = info.internal_fa;
    fileInfo.external_fa = info.external_fa;
    // minizip takes the date from these fields when dosDate is 0; month "-1" makes them 0.
    fileInfo.tmz_date.tm_mon = static_cast<uInt>(-1);
    return fileInfo;
}

bool SamePassword(const Password* a, const Password* b) {
    return a != nullptr && b != nullptr && (a == b || *a == *b);
}

} // namespace

EntryCheck CZipper::CopyEntryFrom(CUnzipper& source, int k, const Password* sourcePassword) {
    if (m_zip == nullptr)
        return EntryCheck::WriteFailed;
    EntryRecord record;
    EntryCheck layout = source.SelectRecord(k, record);
    if (layout != EntryCheck::Ok)
        return layout;
    const unz_file_info64& info = record.info;
    // minizip takes the name and comment as C strings.
    if (record.storedName.find('\0') != std::string::npos ||
        record.comment.find('\0') != std::string::npos)
        return EntryCheck::Unsupported;
    bool encrypted = (info.flag & kFlagEncrypted) != 0;
    bool descriptor = (info.flag & kFlagDataDescriptor) != 0;
    bool keepBytes =
        encrypted ? SamePassword(sourcePassword, m_password) && !descriptor : m_password == nullptr;

    StoredDataReader reader(static_cast<unzFile>(source.m_unz));
    EntryCheck opened = reader.Open(info, encrypted ? sourcePassword : nullptr,
                                    keepBytes ? StoredDataReader::Mode::AsStored
                                              : StoredDataReader::Mode::Deciphered);
    if (opened != EntryCheck::Ok)
        return opened;
    std::vector<uint8_t> localExtra = WithoutZip64Field(reader.LocalExtra());
    std::vector<uint8_t> centralExtra = WithoutZip64Field(record.extra);
    if (localExtra.size() > kMaxCopiedExtra || centralExtra.size() > kMaxCopiedExtra)
        return EntryCheck::Unsupported;

    std::optional<PkwareCipher> cipher;
    uint8_t header[PkwareCipher::kHeaderSize];
    if (keepBytes && encrypted) {
        std::copy_n(reader.StoredHeader(), sizeof header, header);
    } else if (m_password != nullptr) {
        cipher.emplace(*m_password);
        if (!cipher->MakeHeader(static_cast<uint8_t>(info.crc >> 24), header))
            return EntryCheck::WriteFailed;
    }

    uLong flags = (info.flag & ~(kFlagEncrypted | kFlagDataDescriptor)) |
                  (m_password != nullptr ? kFlagEncrypted : 0);
    int zip64 = info.uncompressed_size >= kZip64Threshold || info.compressed_size >= kZip64Threshold
                    ? 1
                    : 0;
    zip_fileinfo fileInfo = FileInfoOf(info);
    // Level 0 adds no flag bits of its own: the entry's bits 1 and 2 are kept as they are.
    if (zipOpenNewFileInZip4_64(m_zip, record.storedName.c_str(), &fileInfo, localExtra.data(),
                                static_cast<uInt>(localExtra.size()), centralExtra.data(),
                                static_cast<uInt>(centralExtra.size()),
                                record.comment.empty() ? nullptr : record.comment.c_str(),
                                static_cast<int>(info.compression_method), 0, 1, -MAX_WBITS, 8,
                                Z_DEFAULT_STRATEGY, nullptr, 0, info.version, flags,
                                zip64) != ZIP_OK)
        return EntryCheck::WriteFailed;
    ++m_entryCount;

    EntryCheck result = EntryCheck::Ok;
    if (m_password != nullptr && zipWriteInFileInZip(m_zip, header, sizeof header) != ZIP_OK)
        result = EntryCheck::WriteFailed;
    uint8_t block[kBlockSize];
    uint64_t done = 0;
    while (result == EntryCheck::Ok) {
        long got = reader.Read(block, sizeof block);
        if (got <= 0) {
            result = got == 0 ? EntryCheck::Ok : EntryCheck::Damaged;
            break;
        }
        if (cipher)
            cipher->Encrypt(block, static_cast<size_t>(got));
        done += static_cast<uint64_t>(got);
        if (zipWriteInFileInZip(m_zip, block, static_cast<unsigned>(got)) != ZIP_OK)
            result = EntryCheck::WriteFailed;
        else if (!ReportProgress(done))
            result = EntryCheck::Cancelled;
    }
    // A stored entry's data is its content: a size that says otherwise would be copied into
    // an entry no reader accepts.
    if (result == EntryCheck::Ok && info.compression_method == 0 && done != info.uncompressed_size)
        result = EntryCheck::Damaged;
    // The entry is closed even after a failure, so the archive stays readable.
    const uint64_t closedSize = result == EntryCheck::Ok ? info.uncompressed_size : done;
    bool closed = zipCloseFileInZipRaw64(m_zip, closedSize, static_cast<uLong>(info.crc)) == ZIP_OK;
    if (result == EntryCheck::Ok && !closed)
        result = EntryCheck::WriteFailed;
    return result;
}

} // namespace lumora
