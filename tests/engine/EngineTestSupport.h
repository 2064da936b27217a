// SPDX-License-Identifier: GPL-2.0-or-later
// A fixture that keeps the engine's cache inside the test's own folder, and the three
// sequences through which the programs use CBindImage.
#pragma once

#include "engine/BindImage.h"
#include "support/ReasonPrinter.h"
#include "support/ShellCommand.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lumora::test {

using Bytes = std::vector<uint8_t>;

// What a reveal gives back: the message and every hidden file's bytes by entry name.
struct Revealed {
    int unpacked = 0;
    std::optional<std::string> message;
    std::multimap<std::string, Bytes> files;
    CarrierTrailer trailer{};
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest();
    ~EngineTest() override;

    std::string Path(const std::string& name) const { return m_dir / name; }
    std::string CacheFolder() const { return m_dir / "cache"; }
    // Writes bytes to a file in the test folder and returns its path.
    std::string MakeFile(const std::string& name, const Bytes& bytes) const;
    // A 1000-byte stand-in for a picture.
    std::string MakeImage(const std::string& name = "image.bmp") const;

    // new object; SetPassword; OpenCarrier(image, OPEN_UNPACK); message; DropAllFiles;
    // ClearSlots(SLOT_DROPPED); AddFileSlot per file; SaveCarrier(dest).
    int Hide(const std::string& image, const std::string& dest,
             const std::optional<std::string>& password, const std::string& message,
             const std::vector<std::string>& files, Status* lastStatus = nullptr);
    // OpenCarrier(OPEN_INSPECT); HasValidTrailer; VerifyPassword; SetPassword;
    // UnpackPayload; SplitImagePart; every listed file that ExtractHiddenFile gives back.
    Revealed Reveal(const std::string& carrier, const std::string& password);
    // Re-save keeping the stored files whose names are in keep, adding files from disk.
    int Resave(const std::string& carrier, const std::string& password, const std::string& message,
               const std::vector<std::string>& keep, const std::vector<std::string>& add,
               const std::string& dest);

    // A carrier at `name` around a plain payload archive: MakeImage's picture, the
    // archive enciphered under password, a trailer without check record.
    std::string WrapArchive(const std::string& archive, const std::string& name,
                            const std::string& password) const;
    // An archive written by Python's zipfile (not encrypted); a program that gets the
    // ZipFile as z and the archive's path as path.
    std::string PythonZip(const std::string& name, const std::string& program) const;

    TempDir m_dir;
};

} // namespace lumora::test
