// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/PictureFormat.h"

#include "engine/MessageForm.h"
#include "platform/DescriptorIo.h"

#include <fcntl.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

constexpr size_t kHeadSize = 4096;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool HasBinarySignature(std::string_view head) {
    static const std::string_view signatures[] = {
        std::string_view("\x89PNG\r\n\x1a\n", 8),
        "\xff\xd8\xff",
        "GIF87a",
        "GIF89a",
        "BM",
        "II*",
        "MM",
        "RIFF",
        std::string_view("\0\0\1\0", 4),
        "\xd7\xcd\xc6\x9a",
        std::string_view("\1\0\0\0", 4),
    };
    for (std::string_view signature : signatures)
        if (StartsWith(head, signature))
            return true;
    return false;
}

} // namespace

bool ToleratesTrailingBytes(std::string_view head) {
    if (head.empty() || HasBinarySignature(head))
        return true;
    for (char c : head) {
        const auto byte = static_cast<unsigned char>(c);
        const bool layout = c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
        if ((byte < 0x20 && !layout) || byte == 0x7F)
            return true;
    }
    // A head cut off in the middle of a character is still text.
    if (head.size() >= kHeadSize) {
        const size_t lastLine = head.rfind('\n');
        if (lastLine != std::string_view::npos)
            head = head.substr(0, lastLine);
    }
    return !IsValidUtf8(head);
}

std::string PictureHead(const std::string& path) {
    std::string head(kHeadSize, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::string();
    const ssize_t n = ReadUpToAt(fd, head.data(), head.size(), 0);
    ::close(fd);
    head.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return head;
}

} // namespace lumora::cli
