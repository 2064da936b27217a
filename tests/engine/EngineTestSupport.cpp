// SPDX-License-Identifier: GPL-2.0-or-later
#include "EngineTestSupport.h"

#include "crypt/PayloadCrypt.h"
#include "engine/TrailerCodec.h"
#include "platform/Clock.h"
#include "platform/ProgramFolders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lumora::test {

EngineTest::EngineTest() {
    SetProgramFolderOverride(m_dir.Path());
}

EngineTest::~EngineTest() {
    SetProgramFolderOverride("");
    SetTickSource({});
}

std::string EngineTest::MakeFile(const std::string& name, const Bytes& bytes) const {
    std::string path = Path(name);
    WriteFile(path, bytes);
    return path;
}

std::string EngineTest::MakeImage(const std::string& name) const {
    return MakeFile(name, PseudoRandomBytes(1000, 7));
}

int EngineTest::Hide(const std::string& image, const std::string& dest,
                     const std::optional<std::string>& password, const std::string& message,
                     const std::vector<std::string>& files, Status* lastStatus) {
    CBindImage engine;
    engine.SetPassword(password ? std::optional(Password(*password)) : std::nullopt);
    const int saved = engine.OpenCarrier(image, OPEN_UNPACK) &&
                              engine.ReplaceContent(message, {}, {files.begin(), files.end()}) &&
                              engine.SaveCarrier(dest)
                          ? 1
                          : 0;
    if (lastStatus != nullptr)
        *lastStatus = engine.LastStatus();
    return saved;
}

Revealed EngineTest::Reveal(const std::string& carrier, const std::string& password) {
    Revealed result;
    CBindImage engine;
    if (!engine.OpenCarrier(carrier, OPEN_INSPECT) || !engine.HasValidTrailer() ||
        !engine.VerifyPassword(Password(password)))
        return result;
    engine.SetPassword(Password(password));
    result.unpacked = engine.UnpackPayload();
    EXPECT_EQ(engine.SplitImagePart(), 1);
    result.message = engine.Message();
    result.trailer = engine.Trailer();
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        std::string copy;
        if (engine.ExtractHiddenFile(k, copy))
            result.files.emplace(slot.name, ReadFile(copy));
    }
    return result;
}

int EngineTest::Resave(const std::string& carrier, const std::string& password,
                       const std::string& message, const std::vector<std::string>& keep,
                       const std::vector<std::string>& add, const std::string& dest) {
    CBindImage engine;
    engine.SetPassword(Password(password));
    if (engine.OpenCarrier(carrier, OPEN_UNPACK) != 1)
        return 0;
    std::vector<int> kept;
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        if (std::count(keep.begin(), keep.end(), slot.name) > 0)
            kept.push_back(k);
    }
    if (!engine.ReplaceContent(message, kept, {add.begin(), add.end()}))
        return 0;
    return engine.SaveCarrier(dest);
}

std::string EngineTest::WrapArchive(const std::string& archive, const std::string& name,
                                    const std::string& password) const {
    const std::string encrypted = Path(name + ".enc");
    EXPECT_TRUE(EncryptPayloadFile(archive.c_str(), encrypted.c_str(), Password(password)));
    Bytes carrier = ReadFile(MakeImage(name + ".image"));
    const Bytes payload = ReadFile(encrypted);
    carrier.insert(carrier.end(), payload.begin(), payload.end());
    CarrierTrailer t{};
    t.imageLength = 1000;
    t.payloadLength = static_cast<int32_t>(payload.size());
    t.version = 1;
    std::memcpy(t.magic, "VZ", 2);
    const TrailerBytes tail = EncodeTrailer(t);
    carrier.insert(carrier.end(), tail.begin(), tail.end());
    return MakeFile(name, carrier);
}

std::string EngineTest::PythonZip(const std::string& name, const std::string& program) const {
    const std::string path = Path(name);
    const std::string script = Path(name + ".py");
    WriteText(script, "import sys, zipfile\npath = sys.argv[1]\nz = zipfile.ZipFile(path, 'w', "
                      "zipfile.ZIP_DEFLATED)\n" +
                          program + "\nz.close()\n");
    EXPECT_EQ(std::system(("python3 '" + script + "' '" + path + "'").c_str()), 0) << program;
    return path;
}

} // namespace lumora::test
