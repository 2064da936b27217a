// SPDX-License-Identifier: GPL-2.0-or-later
// What differs between the carrier formats inside a carrier session: how a format is
// unlocked, how a save writes it, how a carrier just written in it is taken up, and what
// its summary shows. Everything else of the session is the same for every format. The
// session chooses the part: PartToUnlock for what an opened file may hold, PartToWrite
// for a save.
#pragma once

#include "crypt/SecretBytes.h"
#include "engine/CarrierTrailer.h"
#include "engine/OpenedCarrier.h"
#include "engine/Outcome.h"
#include "engine/SealedCarrier.h"

#include <cstdio>
#include <memory>
#include <string>

namespace lumora {

class CBindImage;
struct CarrierCore;

class FormatPart {
public:
    virtual ~FormatPart() = default;
    virtual CarrierFormat Format() const = 0;
    // Unlocks the carrier core has opened: on Ok the engine holds the password and the
    // core lists the entries; on a failure nothing is unlocked. A sealed carrier opens
    // under `known` without a derivation where it is given (the read-back of a save).
    [[nodiscard]] virtual Status Unlock(CarrierCore& core, Password password, ProofTiming timing,
                                        const SealedKey* known) = 0;
    // Writes the engine's next save in this format to out, from its start, a sealed one
    // under key; 1 or 0 as the engine's operations return (its LastStatus says why).
    [[nodiscard]] virtual int Write(CBindImage& engine, FILE* out, const SealedKey* key) = 0;
    // Takes up the carrier that core's engine has just opened again after a save in this
    // format (under key) to `written`; ReadFailed of `written` when it cannot.
    [[nodiscard]] virtual Status TakeUp(CarrierCore& core, const std::string& written,
                                        const SealedKey* key) = 0;
    // The numbers of the information panel for core's unlocked carrier.
    virtual CarrierTrailer Summary(const CarrierCore& core) const = 0;
};

// The information panel's numbers for a carrier whose format stores no trailer: the picture
// part's and the payload's lengths as given, the rest counted from core's entries and
// message, each clamped to what a trailer field holds.
CarrierTrailer CountedSummary(const CarrierCore& core, int64_t imageLength, int64_t payloadLength);

// The data a password is tried on in an opened file, costing at most one key derivation:
// classic data where the trailer says so; else sealed data where bytes follow the picture's
// own end (or no end can be told) and the size fits; else woven data in a JPEG, PNG or BMP
// that ends where the file does. None when no format could be there.
enum class DataToTry { None, Classic, Sealed, Woven };
DataToTry DataToTryIn(const CarrierCore& core);

// The part that unlocks what core's opened file may hold (DataToTryIn). Null for none.
std::unique_ptr<FormatPart> PartToUnlock(const CarrierCore& core);
// The part that writes a save in format; a woven one goes above the picture's capacity
// only with overCapacity, and takes keysAhead (when given and not empty) for its first
// write. Borrowed until that write.
std::unique_ptr<FormatPart> PartToWrite(CarrierFormat format, bool overCapacity = false,
                                        WovenKeys* keysAhead = nullptr);

// The parts of each format.
std::unique_ptr<FormatPart> ClassicPart();
std::unique_ptr<FormatPart> SealedPart();
std::unique_ptr<FormatPart> WovenPart(bool overCapacity, WovenKeys* keysAhead = nullptr);

} // namespace lumora
