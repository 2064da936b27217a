// SPDX-License-Identifier: GPL-2.0-or-later
// CBindImage: the carrier engine. One object serves one operation (a hide, a reveal or a
// re-save). It owns a working folder below the cache root, where every intermediate file
// lives, and removes it when destroyed. Operations return int 1 or 0 (slot look-ups a slot
// number or -1), show nothing and let no exception out; LastStatus() says why the last
// failing operation failed.
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

#include "archive/EntryName.h" // kMessageEntryName
#include "crypt/SealedKey.h"
#include "crypt/SecretBytes.h"
#include "crypt/WovenKeys.h"
#include "engine/CarrierTrailer.h"
#include "engine/ClassicData.h"
#include "engine/FileSlot.h"
#include "engine/HeldMessage.h"
#include "engine/OperationReport.h"
#include "engine/Outcome.h"
#include "engine/PayloadArchive.h"
#include "engine/SlotTable.h"
#include "engine/StreamFile.h"
#include "engine/WorkDirs.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

class ArchiveBytes;
class CUnzipper;

enum OpenMode {
    OPEN_INSPECT = 1, // load the trailer only
    OPEN_SPLIT = 2,   // also copy the image part to imageTempPath
    OPEN_UNPACK = 3,  // also unpack the payload (any value other than 1 and 2)
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
    [[nodiscard]] int LoadTrailer();
    // 1 for a version 1 trailer whose lengths fit inside the file it was loaded from.
    [[nodiscard]] int HasValidTrailer() const;
    // What the trailer loaded makes of the opened file, and whether it holds classic data
    // (engine/ClassicData.h).
    TrailerVerdict JudgeTrailer() const;
    bool HoldsClassicData() const { return JudgeTrailer() == TrailerVerdict::Classic; }
    const CarrierTrailer& Trailer() const { return m_trailer; }
    // The message in its stored form (CR LF line breaks); none when there is none.
    const std::optional<std::string>& Message() const { return m_message.text; }
    MessageState GetMessageState() const { return m_message.state; }
    // Position of the message entry in the payload archive, -1 without one.
    int MessageEntryIndex() const { return m_message.entry; }
    // While set (borrowed; null: not), reading the payload archive compares its message
    // with `expected` instead of holding it: Message() stays none and MessageMatched()
    // tells. A read-back so checks a large message without a second copy.
    void CompareMessageWith(const std::string* expected) { m_expectedMessage = expected; }
    bool MessageMatched() const { return m_message.matchedExpected; }

    // --- text fields
    // The object owns its password and lends it to the layers below. Setting it forgets
    // the payload read in place (SetReadInPlace), which holds a key made from it.
    void SetPassword(std::optional<Password> password);
    const Password* CurrentPassword() const { return m_password ? &*m_password : nullptr; }
    int SetMessage(const std::string& text);
    int ClearMessage();
    // Moves the message out, leaving none (to hand it back through ReplaceContent).
    std::optional<std::string> TakeMessage();

    // --- slot table
    // The slot taken, or -1 when none is free.
    [[nodiscard]] int AddFileSlot(const std::string& name, FileSlotState state, int entryIndex,
                                  int64_t size);
    // Frees the slots in state; -1 frees every slot (ClearAllSlots).
    int ClearSlots(int state);
    int ClearAllSlots() { return ClearSlots(-1); }
    void DropAllFiles();
    [[nodiscard]] int SetSlotState(int k, FileSlotState state);
    // What the next save writes: the message (none or empty writes no message), the
    // hidden files of the opened carrier in keptSlots, and the files on disk in addedFiles;
    // everything else the carrier held is left out. 0 when a kept slot is no hidden file
    // of the carrier (LastStatus NoSuchEntry) or an added file finds no free slot
    // (TooManyFiles). The message is taken by value, so the carrier's own Message() may be
    // passed.
    [[nodiscard]] int ReplaceContent(std::optional<std::string> message,
                                     const std::vector<int>& keptSlots,
                                     const std::vector<AddedFile>& addedFiles);
    // Entries of the opened payload archive that the next save copies as they are stored,
    // besides the kept slots: entries no slot holds (past the 100th, names that cannot be
    // written out). Cleared by ReplaceContent.
    void SetCarriedEntries(std::vector<int> entryIndices) {
        m_archive.SetCarriedEntries(std::move(entryIndices));
    }
    // The next save copies the stored message entry unchanged instead of Message().
    void KeepStoredMessage(bool keep) { m_archive.KeepStoredMessage(keep); }
    // Kept entries (the message's too) known to be damaged, which the next save copies
    // as they are.
    void SetDamagedKept(std::vector<int> entryIndices) {
        m_archive.SetDamagedKept(std::move(entryIndices));
    }
    // The next save writes under this password (borrowed for the save) instead of the
    // object's own, which still reads the opened archive.
    void SetNewPassword(const Password* password) { m_archive.SetNewPassword(password); }
    [[nodiscard]] int FirstFileSlot(FileSlot& out) const;
    [[nodiscard]] int NextFileSlot(FileSlot& out, int k) const;
    const FileSlot& Slot(int k) const { return m_slots[k]; }

    // --- working folders and temporary names
    // Makes a private, locked working folder (WorkFolder) with its DATA folder and returns
    // its path; without one, see WorkFolderError().
    std::string CreateWorkDirs();
    std::string NewTempName();
    [[nodiscard]] static int RemoveFolderTree(const std::string& path);

    // --- payload packaging
    [[nodiscard]] int BuildPayloadArchive();
    // The payload archive unenciphered, for formats that seal it whole: kept entries are
    // deciphered under the opened carrier's password as they are copied.
    [[nodiscard]] int BuildPlainPayloadArchive();
    [[nodiscard]] int ReadPayloadArchive();
    // UnpackPayload reads the payload archive in place, deciphered from the carrier as it
    // is read, instead of deciphering it into the working copy (PayloadTempPath) first:
    // nothing of it is written to the working folder, and a later change to the carrier
    // file reaches the reads. Until a save adopts its archive, which is then the copy.
    void SetReadInPlace(bool inPlace) { m_readInPlace = inPlace; }
    // Opens the payload archive, in place or the working copy; false when it cannot be.
    [[nodiscard]] bool OpenPayloadArchive(CUnzipper& archive) const;
    // dest empty: extracts into the working folder and returns the copy's path in dest;
    // otherwise extracts and moves the file to dest, replacing a file there.
    [[nodiscard]] int ExtractHiddenFile(int k, std::string& dest);

    // --- binding and unbinding
    // mode is an OpenMode; any value but OPEN_INSPECT and OPEN_SPLIT unpacks.
    [[nodiscard]] int OpenCarrier(const std::optional<std::string>& path, int mode);
    // Writes a complete carrier to dest atomically: dest is replaced only when image part,
    // payload and trailer were all written; on failure it is left as it was. Needs a
    // password (the empty text is one); every added file must be readable and smaller than
    // kMaxCarrierSize.
    [[nodiscard]] int SaveCarrier(const std::string& dest);
    // Image part, payload and trailer of the next save, written to out from its start.
    [[nodiscard]] int WriteCarrier(FILE* out);
    // The next save as a sealed carrier: image part, then the payload archive (entries not
    // enciphered) sealed under key, written to out from its start.
    [[nodiscard]] int WriteSealedCarrier(FILE* out, const SealedKey& key);
    // The next save as a woven carrier: the payload archive (entries not enciphered) woven
    // into the image part's picture under the save's password, written to out from its
    // start. Content above the picture's capacity only with overCapacity. Under `ahead`, new
    // keys of that password made for this one write (NewWovenKeys), without a derivation;
    // empty, new ones are derived. On 1, `made` holds the keys the new carrier opens under.
    [[nodiscard]] int WriteWovenCarrier(FILE* out, bool overCapacity, WovenKeys ahead,
                                        WovenKeys& made);
    // Ends the image part at length, for carriers whose cut no classic trailer gives
    // (sealed ones). OpenCarrier forgets it.
    void CutImagePart(int64_t length);
    // After a save: the archive just written becomes the opened one, and the kept slots
    // point at their new entries.
    [[nodiscard]] int AdoptBuiltArchive();
    [[nodiscard]] int VerifyPassword(const Password& text) const;
    [[nodiscard]] int SplitImagePart();
    [[nodiscard]] int UnpackPayload();
    [[nodiscard]] int WriteImagePart(FILE* out);
    [[nodiscard]] int AppendPayload(FILE* out);
    [[nodiscard]] int StoreTrailer(FILE* out);

    // --- for callers and tests
    const std::string& CarrierPath() const { return m_carrierPath; }
    const std::string& WorkDir() const { return m_work.Dir(); }
    const std::string& DataDir() const { return m_work.DataDir(); }
    const std::string& PayloadTempPath() const { return m_payloadTempPath; }
    const std::string& ImageTempPath() const { return m_imageTempPath; }
    // The cipher's keys at points of the entries the last save enciphered (for its
    // read-back, see archive/CipherCheckpoints.h).
    const CipherCheckpoints& BuiltCheckpoints() const { return m_archive.BuiltCheckpoints(); }
    void ForgetBuiltCheckpoints() { m_archive.ForgetCheckpoints(); }
    // The open carrier file; null when none is open.
    FILE* CarrierFile() const { return m_carrierFile; }
    // Why the last failing operation failed.
    const Status& LastStatus() const { return m_report.LastStatus(); }
    // Why no working folder could be made, empty when there is one. Without one, every
    // operation that needs it fails with NoWorkFolder and this as its subject.
    const std::string& WorkFolderError() const { return m_work.Error(); }
    void SetProgressObserver(CProgressObserver* observer) { m_report.SetObserver(observer); }
    // Threads that pack and unpack hidden files (0, the default: one per usable processor,
    // see platform/WorkerPool.h). A carrier's bytes are the same for every count.
    void SetWorkerThreads(int threads) { m_threads = threads; }
    int WorkerThreads() const { return m_threads; }

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

    // Failures and progress go through the report (engine/OperationReport.h).
    int Fail(Status status) { return m_report.Fail(std::move(status)); }
    int Fail(Reason reason, const std::string& subject = {}, int error = 0) {
        return m_report.Fail(reason, subject, error);
    }
    int FailRead(const std::string& path, int error) { return m_report.FailRead(path, error); }
    int FailWrite(const std::string& path, int error) { return m_report.FailWrite(path, error); }
    int FailCopy(const CopyResult& copy, const std::string& source, const std::string& target) {
        return m_report.FailCopy(copy, source, target);
    }
    bool Cancelled() const { return m_report.Cancelled(); }
    std::function<bool(uint64_t)> Progress(ProgressStep step, int64_t total, int64_t base = 0) {
        return m_report.Progress(step, total, base);
    }
    // What the payload archive works on in this object's operations.
    PayloadWork ArchiveWork();
    // The output a failing step of a save names: its destination, where known.
    const std::string& OutputName() const { return m_saveDest; }

    int CheckFilesToHide();
    // Bytes of the open file that are its image part.
    int64_t ImagePartLength() const;
    // The image part to copy: the open carrier up to its cut, else the split copy.
    FILE* OpenImageSource(StreamFile& split, int64_t& length);

    std::string m_carrierPath;
    std::string m_payloadTempPath;
    std::unique_ptr<ArchiveBytes> m_payloadInPlace; // null when the copy is the archive
    bool m_readInPlace = false;
    std::string m_imageTempPath;
    FILE* m_carrierFile = nullptr;
    std::optional<Password> m_password;
    std::array<uint8_t, 16> m_checkPlaintext{};
    HeldMessage m_message;
    const std::string* m_expectedMessage = nullptr;
    SlotTable m_slots;
    CarrierTrailer m_trailer{};

    int m_threads = 0;
    int m_operationDepth = 0;
    int64_t m_carrierSize = 0; // size of the file the trailer was loaded from
    std::string m_saveDest;    // the destination of the running save
    WorkDirs m_work;
    OperationReport m_report{m_work};
    PayloadArchive m_archive{m_report, m_work};
};

} // namespace lumora
