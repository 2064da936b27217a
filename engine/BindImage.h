// SPDX-License-Identifier: GPL-2.0-or-later
// CBindImage: the carrier engine. One object serves one operation (a hide, a reveal or a
// re-save). It owns a working folder below the cache root, where every intermediate file
// lives, and removes it when destroyed. Operations return int 1 or 0 (slot look-ups a slot
// number or -1), show nothing and let no exception out; LastError() says why the last
// failing operation failed, for callers that tell the user themselves (lumora-cli).
//
// Sequences used by the programs:
//   reveal:  OpenCarrier(path, OPEN_INSPECT); HasValidTrailer; VerifyPassword until 1;
//            SetPassword; UnpackPayload; SplitImagePart; then message() and the slots.
//   hide:    SetPassword; OpenCarrier(image, OPEN_UNPACK); ReplaceContent(message, {},
//            files); SaveCarrier(destination).
//   re-save: SetPassword; OpenCarrier(carrier, OPEN_UNPACK); ReplaceContent(message,
//            kept slots, new files); SaveCarrier(destination).
// ReplaceContent is ClearMessage, SetMessage, DropAllFiles, SetSlotState(k, SLOT_STORED)
// per kept file, ClearSlots(SLOT_DROPPED) and AddFileSlot(path, SLOT_ADDED, -1, 0) per new
// file. Freeing the dropped slots before adding makes the 100 slots the only limit; a file
// that still finds no slot fails the save, never vanishes.
#pragma once

#include "engine/CarrierTrailer.h"
#include "engine/FileSlot.h"
#include "platform/WorkFolder.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lumora {

enum OpenMode {
    OPEN_INSPECT = 1, // load the trailer only
    OPEN_SPLIT = 2,   // also copy the image part to imageTempPath
    OPEN_UNPACK = 3,  // also unpack the payload (any value other than 1 and 2)
};

// Name of the archive entry that holds the message.
inline constexpr const char* kMessageEntryName = "veilnote.vnt";

// Files of this size or more cannot be hidden: carrier offsets are signed 32-bit numbers.
inline constexpr int64_t kMaxCarrierSize = 0x7FFFFFFF;

// Told how far the current open or save has come; asked whether to go on.
class CProgressObserver {
public:
    virtual ~CProgressObserver() = default;
    // bytesDone of bytesTotal for the current step ("Copying image", "Packing files",
    // "Encrypting", "Decrypting", "Unpacking"); return false to cancel the operation, which
    // then fails with LastError "cancelled" and leaves nothing at its destination.
    virtual bool OnProgress(const char* step, int64_t bytesDone, int64_t bytesTotal) = 0;
};

class CBindImage {
public:
    // Creates the working folder and names the two temporary files. With a path, the file
    // is opened for reading (failure only leaves no carrier open).
    explicit CBindImage(const std::optional<std::string>& path = std::nullopt);
    ~CBindImage();
    CBindImage(const CBindImage&) = delete;
    CBindImage& operator=(const CBindImage&) = delete;

    // --- inspection
    int LoadTrailer();
    // 1 for a version 1 trailer whose lengths fit inside the file it was loaded from.
    int HasValidTrailer() const;
    const CarrierTrailer& Trailer() const { return m_trailer; }
    // The message in its stored form (CR LF line breaks); none when there is none.
    const std::optional<std::string>& Message() const { return m_message; }

    // --- text fields
    void SetPassword(const std::optional<std::string>& password);
    const std::optional<std::string>& Password() const { return m_password; }
    int SetMessage(const std::string& text);
    int ClearMessage();

    // --- slot table
    int AddFileSlot(const std::string& name, int state, int entryIndex, int64_t size);
    int ClearSlots(int state);
    void DropAllFiles();
    int SetSlotState(int k, int state);
    // What the next save writes: the message (none or empty writes no message), the
    // hidden files of the opened carrier in keptSlots, and the files on disk in addedFiles;
    // everything else the carrier held is left out. 0 (with LastError) when a kept slot is
    // no hidden file of the carrier or an added file finds no free slot. The message is
    // taken by value, so the carrier's own Message() may be passed.
    int ReplaceContent(std::optional<std::string> message, const std::vector<int>& keptSlots,
                       const std::vector<std::string>& addedFiles);
    int FirstFileSlot(FileSlot& out) const;
    int NextFileSlot(FileSlot& out, int k) const;
    const FileSlot& Slot(int k) const { return m_slots.at(k); }

    // --- working folders and temporary names
    // Makes a private, locked working folder (WorkFolder) with its DATA folder and returns
    // its path; without one, see WorkFolderError().
    std::string CreateWorkDirs();
    std::string NewTempName();
    static int RemoveFolderTree(const std::string& path);

    // --- payload packaging
    int BuildPayloadArchive();
    int ReadPayloadArchive();
    // dest empty: extracts into the working folder and returns the copy's path in dest;
    // otherwise extracts and moves the file to dest, replacing a file there.
    int ExtractHiddenFile(int k, std::string& dest);

    // --- binding and unbinding
    int OpenCarrier(const std::optional<std::string>& path, int mode);
    // Writes a complete carrier to dest atomically: dest is replaced only when image part,
    // payload and trailer were all written; on failure it is left as it was. Needs a
    // password (the empty text is one); every added file must be readable and smaller than
    // kMaxCarrierSize.
    int SaveCarrier(const std::string& dest);
    int VerifyPassword(const std::optional<std::string>& text) const;
    int SplitImagePart();
    int UnpackPayload();
    int WriteImagePart(FILE* out);
    int AppendPayload(FILE* out);
    int StoreTrailer(FILE* out);

    // --- for callers and tests
    const std::string& CarrierPath() const { return m_carrierPath; }
    const std::string& WorkDir() const { return m_workDir; }
    const std::string& DataDir() const { return m_dataDir; }
    const std::string& PayloadTempPath() const { return m_payloadTempPath; }
    const std::string& ImageTempPath() const { return m_imageTempPath; }
    const std::string& LastError() const { return m_lastError; }
    // Why no working folder could be made, empty when there is one. Without one, every
    // operation that needs it fails, and LastError() gives this reason.
    const std::string& WorkFolderError() const { return m_workFolderError; }
    void SetProgressObserver(CProgressObserver* observer) { m_observer = observer; }

    // The 16 printable characters that the password check record enciphers.
    static const std::array<uint8_t, 16>& CheckPlaintext();

private:
    // Marks the outermost public operation: it starts with no error and not cancelled.
    class OperationScope {
    public:
        explicit OperationScope(CBindImage& owner);
        ~OperationScope() { --m_owner.m_operationDepth; }
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;

    private:
        CBindImage& m_owner;
    };

    // Sets LastError (a cancellation keeps "cancelled") and returns 0.
    int Fail(const std::string& reason);
    // "cannot read NAME: reason" / "cannot write NAME: reason" from an errno value.
    int FailRead(const std::string& name, int error);
    int FailWrite(const std::string& name, int error);
    // Tells the observer; false (and LastError "cancelled") when it asks to stop.
    bool Report(const char* step, int64_t done, int64_t total);
    bool Cancelled() const { return m_cancelled; }
    // A callback for the layers below that reports base + their bytes of total for step;
    // empty without an observer.
    std::function<bool(uint64_t)> Progress(const char* step, int64_t total, int64_t base = 0);
    // The output named in messages of the steps of a save.
    std::string OutputName() const;

    int CheckFilesToHide();
    int ExtractKeptFiles(const std::string& archivePath);
    int AddEntries(const std::string& archivePath, const std::string& messagePath);
    int CopyStoredPayload(const std::string& encryptedPath);
    std::string KeptFilePath(int k) const;

    std::string m_carrierPath;
    std::string m_payloadTempPath;
    std::string m_imageTempPath;
    std::string m_workDir;
    std::string m_dataDir;
    FILE* m_carrierFile = nullptr;
    std::optional<std::string> m_password;
    std::array<uint8_t, 16> m_checkPlaintext{};
    std::optional<std::string> m_message;
    std::array<FileSlot, kSlotCount> m_slots;
    CarrierTrailer m_trailer{};

    std::string m_lastError;
    CProgressObserver* m_observer = nullptr;
    int m_operationDepth = 0;
    bool m_cancelled = false;
    const char* m_reportedStep = nullptr;
    int64_t m_reportedBytes = 0;
    int64_t m_carrierSize = 0;             // size of the file the trailer was loaded from
    std::string m_saveDest;                // the destination of the running save
    std::set<std::string> m_tempNames;     // every name NewTempName handed out
    std::vector<WorkFolder> m_workFolders; // working folders this object created
    std::string m_workFolderError;
};

} // namespace lumora
