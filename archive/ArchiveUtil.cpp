// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ArchiveUtil.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <zlib.h>

namespace lumora {
namespace {

// DOS date and time fields as local time; false when they name no real date.
bool DosToTime(uint32_t dosDateTime, time_t& out) {
    unsigned date = dosDateTime >> 16;
    unsigned time = dosDateTime & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>(date >> 9) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>(time >> 11);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(time & 0x1F) * 2;
    tm.tm_isdst = -1;
    std::tm wanted = tm;
    out = std::mktime(&tm);
    // mktime quietly normalises out-of-range fields such as 31 February or month 0.
    return out != static_cast<time_t>(-1) && tm.tm_year == wanted.tm_year &&
           tm.tm_mon == wanted.tm_mon && tm.tm_mday == wanted.tm_mday && wanted.tm_hour < 24 &&
           wanted.tm_min < 60 && wanted.tm_sec < 60;
}

} // namespace

int EnsureFolder(const std::string& path) {
    if (path.empty())
        return 0;
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status))
        return std::filesystem::is_directory(status) ? 1 : 0;
    std::filesystem::create_directories(path, ec);
    return !ec && std::filesystem::is_directory(path, ec) ? 1 : 0;
}

int EnsureParentFolder(const std::string& filePath) {
    auto slash = filePath.rfind('/');
    if (slash == std::string::npos)
        return 0;
    return EnsureFolder(slash == 0 ? std::string("/") : filePath.substr(0, slash));
}

std::optional<int64_t> TimeOfDosDate(uint32_t dosDateTime) {
    time_t when;
    if (!DosToTime(dosDateTime, when))
        return std::nullopt;
    return static_cast<int64_t>(when);
}

int ApplyEntryTime(const std::string& path, uint32_t dosDateTime) {
    time_t when;
    if (!DosToTime(dosDateTime, when))
        return 0;
    struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 1 : 0;
}

int FileCrc32(const std::string& path, uint32_t& crc) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return -1;
    unsigned char block[16384];
    uLong value = crc32(0L, Z_NULL, 0);
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
        value = crc32(value, block, static_cast<uInt>(got));
    if (std::ferror(file.get()))
        return -1;
    crc = static_cast<uint32_t>(value);
    return 0;
}

} // namespace lumora
