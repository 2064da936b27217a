// SPDX-License-Identifier: GPL-2.0-or-later
// Takes the input as the plain payload archive, wraps it into a valid carrier (encrypted
// payload file, trailer with a password check record) and runs it through the reveal
// view's sequence and a re-save that keeps every listed file, and reads it again in place
// (deciphered from the carrier as it is read), which must list the same. This reaches the
// archive and message code behind the AES layer.
#include "crypt/PayloadCrypt.h"
#include "engine/BindImage.h"
#include "engine/TrailerCodec.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace lumora;

namespace {

constexpr char kImage[] = "GIF89a\x01\x00\x01\x00\x00\x00\x00;";

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// image part + encrypted archive + trailer, as the engine writes them.
std::string MakeCarrier(const std::string& archive) {
    std::string encrypted = fuzz::ScratchPath("payload.enc");
    if (!EncryptPayloadFile(archive.c_str(), encrypted.c_str(), Password(fuzz::kPassword)))
        std::abort();
    std::vector<char> payload = ReadAll(encrypted);
    CarrierTrailer trailer{};
    std::array<uint8_t, 16> plain = CBindImage::CheckPlaintext();
    if (!EncryptCheckRecord(plain.data(), trailer.checkRecord, Password(fuzz::kPassword), 16))
        std::abort();
    trailer.payloadLength = static_cast<int32_t>(payload.size());
    trailer.imageLength = static_cast<int32_t>(sizeof kImage - 1);
    trailer.version = kTrailerVersion;
    std::memcpy(trailer.magic, "VZ", 2);
    TrailerBytes bytes = EncodeTrailer(trailer);

    std::string carrier = fuzz::ScratchPath("carrier.gif");
    std::ofstream out(carrier, std::ios::binary | std::ios::trunc);
    out.write(kImage, sizeof kImage - 1);
    out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!out.flush())
        std::abort();
    return carrier;
}

struct Listing {
    int files = 0;
    std::string message;
};

// The reveal view's sequence; every listed file is extracted.
Listing Reveal(const std::string& carrier, bool inPlace = false) {
    CBindImage engine;
    engine.SetReadInPlace(inPlace);
    if (engine.OpenCarrier(carrier, OPEN_INSPECT) != 1 || !engine.HasValidTrailer() ||
        engine.VerifyPassword(Password(fuzz::kPassword)) != 1)
        std::abort(); // the carrier was written correctly
    engine.SetPassword(Password(fuzz::kPassword));
    // An archive from the input may not unpack, nor its files extract: only what was
    // listed counts.
    static_cast<void>(engine.UnpackPayload());
    if (engine.SplitImagePart() != 1)
        std::abort(); // an open carrier always has an image part
    Listing listing;
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        std::string dest;
        static_cast<void>(engine.ExtractHiddenFile(k, dest));
        ++listing.files;
    }
    listing.message = engine.Message().value_or(std::string());
    return listing;
}

// The re-save of the reveal view, keeping everything; 1 when the save succeeded.
int Resave(const std::string& carrier, const std::string& dest) {
    CBindImage engine;
    engine.SetPassword(Password(fuzz::kPassword));
    if (engine.OpenCarrier(carrier, OPEN_UNPACK) != 1)
        return 0;
    FileSlot slot;
    std::vector<int> kept;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k))
        kept.push_back(k);
    if (!engine.ReplaceContent(engine.Message(), kept, {}))
        return 0;
    return engine.SaveCarrier(dest);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string archive = fuzz::WriteInput("payload.zip", data, size);
    std::string carrier = MakeCarrier(archive);
    Listing before = Reveal(carrier);
    Listing inPlace = Reveal(carrier, true);
    if (inPlace.files != before.files || inPlace.message != before.message)
        std::abort();

    std::string resaved = fuzz::ScratchPath("resaved.gif");
    int saved = Resave(carrier, resaved);
    std::error_code ec;
    if (std::filesystem::exists(resaved, ec) != (saved == 1))
        std::abort(); // a save leaves its destination exactly when it succeeds
    if (saved == 1) {
        // What was listed survives the save, and a saved carrier always opens.
        Listing after = Reveal(resaved);
        if (after.files != before.files || after.message != before.message)
            std::abort();
    }
    fuzz::RemovePath(resaved);
    fuzz::RequireEmptyCache();
    return 0;
}
