// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/RandomName.h"

#include <cerrno>
#include <random>
#include <sys/random.h>

namespace lumora {

std::string RandomLetters(size_t count) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string bytes(count, '\0');
    size_t got = 0;
    while (got < count) {
        ssize_t n = ::getrandom(bytes.data() + got, count - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    // getrandom cannot fail on a kernel that has it; the fallback only keeps names unique.
    if (got < count) {
        std::random_device device;
        for (size_t i = got; i < count; ++i)
            bytes[i] = static_cast<char>(device());
    }
    std::string letters(count, '\0');
    for (size_t i = 0; i < count; ++i)
        letters[i] = kAlphabet[static_cast<unsigned char>(bytes[i]) % (sizeof kAlphabet - 1)];
    return letters;
}

} // namespace lumora
