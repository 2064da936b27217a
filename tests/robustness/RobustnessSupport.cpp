// SPDX-License-Identifier: GPL-2.0-or-later
#include "RobustnessSupport.h"

#include "crypt/PayloadCrypt.h"
#include "engine/BindImage.h"
#include "engine/TrailerCodec.h"
#include "platform/ProgramFolders.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {

RobustnessTest::RobustnessTest() {
    SetProgramFolderOverride(m_dir.Path());
}

RobustnessTest::~RobustnessTest() {
    SetProgramFolderOverride("");
}

std::vector<std::string> RobustnessTest::CacheEntries() const {
    return FolderEntries(CacheFolder());
}

std::string RobustnessTest::MakeFile(const std::string& name, size_t size, uint32_t seed) {
    std::string path = Path(name);
    WriteFile(path, PseudoRandomBytes(size, seed));
    return path;
}

std::string RobustnessTest::MakeCarrier(const std::string& name, const std::string& message,
                                        const std::vector<std::string>& files) {
    std::string image = MakeFile("picture-" + name, 1000, 7);
    std::string carrier = Path(name);
    CBindImage engine;
    engine.SetPassword(Password(std::string(kPassword)));
    EXPECT_EQ(engine.OpenCarrier(image, OPEN_UNPACK), 1);
    EXPECT_EQ(engine.ReplaceContent(message, {}, {files.begin(), files.end()}), 1)
        << ReasonName(engine.LastStatus().reason);
    EXPECT_EQ(engine.SaveCarrier(carrier), 1) << ReasonName(engine.LastStatus().reason);
    return carrier;
}

void WrapArchive(const std::string& archivePath, const std::string& carrierPath) {
    std::string encrypted = carrierPath + ".payload";
    ASSERT_TRUE(EncryptPayloadFile(archivePath.c_str(), encrypted.c_str(), Password(kPassword)));
    std::vector<uint8_t> picture = PseudoRandomBytes(500, 3);
    std::vector<uint8_t> payload = ReadFile(encrypted);
    std::filesystem::remove(encrypted);

    CarrierTrailer trailer{};
    std::array<uint8_t, 16> plain = CBindImage::CheckPlaintext();
    ASSERT_TRUE(EncryptCheckRecord(plain.data(), trailer.checkRecord, Password(kPassword), 16));
    trailer.payloadLength = static_cast<int32_t>(payload.size());
    trailer.imageLength = static_cast<int32_t>(picture.size());
    trailer.version = kTrailerVersion;
    std::memcpy(trailer.magic, "VZ", 2);
    TrailerBytes bytes = EncodeTrailer(trailer);

    std::vector<uint8_t> carrier = picture;
    carrier.insert(carrier.end(), payload.begin(), payload.end());
    carrier.insert(carrier.end(), bytes.begin(), bytes.end());
    WriteFile(carrierPath, carrier);
}

bool RunPython(const std::string& script, const std::vector<std::string>& args) {
    pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv = {const_cast<char*>("python3"), const_cast<char*>("-c"),
                                   const_cast<char*>(script.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp("python3", argv.data());
        ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

RevealResult Reveal(const std::string& carrier) {
    RevealResult result;
    CBindImage engine;
    if (engine.OpenCarrier(carrier, OPEN_INSPECT) != 1 || !engine.HasValidTrailer() ||
        engine.VerifyPassword(Password(std::string(kPassword))) != 1)
        return result;
    result.opened = 1;
    engine.SetPassword(Password(std::string(kPassword)));
    result.unpacked = engine.UnpackPayload();
    EXPECT_EQ(engine.SplitImagePart(), result.unpacked);
    result.message = engine.Message();
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        ++result.files;
        std::string copy;
        result.extracted += engine.ExtractHiddenFile(k, copy);
    }
    return result;
}

} // namespace lumora::test
