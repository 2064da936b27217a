// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ReferenceCarriers.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace lumora::test {

const std::vector<ReferenceCarrier>& ReferenceCarriers() {
    static const std::vector<ReferenceCarrier> list = {
        {"empty-password.gif",
         "base.gif",
         "",
         "Hello\r\nWorld",
         {3518, 3440, 12, 2, 3034},
         {{"hello.txt", 34, "c0f09827e42c4889b05dfa30118bb7e0f6d83e182d12cc5cfee8dc60fd4437d0"},
          {"data.bin", 3000, "4679080307ccd63e4c9cc4ab4736684dbaf39453b0becabe157509ee645d1323"}}},
        {"zero-check-record.png",
         "base.png",
         "correct horse battery staple",
         "",
         {1508, 208, 0, 1, 2800},
         {{"notes.txt", 2800, "9996c6ce010214f8f053277bb2fac42e1f7a9463af2c9e87457747e4985acdb3"}}},
        {"long-password.jpg",
         "base.jpg",
         "0123456789abcdefghijklmnopqrstuvwxyz!?",
         "Long passwords use their first 32 bytes.",
         {1315, 70448, 40, 2, 70010},
         {{"a.bin", 70000, "57c478928df5d1512073d6c3a820dff5240a73ec974606f9a089f4d4de2d681a"},
          {"b.txt", 10, "6d2fe32dc4249ef7e7359c6d874fffbbf335e832e49a2681236e1b686af78794"}}},
        {"non-ascii.bmp",
         "base.bmp",
         "pässwörd",
         "Grüße\r\n日本語 — ok",
         {38538, 464, 25, 2, 17},
         {{"naïve résumé.txt", 8,
           "b1de61b8108f15d9913e0fa2e6371ed737fbe2be84e63a89ca8ae7a370322371"},
          {"日本.txt", 9, "77710aedc74ecfa33685e33a6c7df5cc83004da1bdcef7fb280f5c2b2e97e0a5"}}},
        {"backslash-names.gif",
         "base.gif",
         "pw",
         "",
         {3518, 288, 0, 2, 8},
         {{"sub/inner.txt", 5, "33bf6fbd7cd8379785a21e233d8e09f824e7bab459168a96312c1c882c1d7e1f"},
          {"top.txt", 3, "28720365c5e7476a011e4f43ac003ee5f16247a263b9d623aa85ed311d73bf39"}}},
    };
    return list;
}

const ReferenceCarrier& ReferenceCarrierNamed(const std::string& file) {
    const auto& list = ReferenceCarriers();
    const auto found = std::ranges::find(list, file, &ReferenceCarrier::file);
    if (found == list.end())
        throw std::invalid_argument("no reference carrier " + file);
    return *found;
}

int64_t ReferencePictureSize(const std::string& base) {
    const auto& list = ReferenceCarriers();
    const auto found = std::ranges::find(list, base, &ReferenceCarrier::base);
    if (found == list.end())
        throw std::invalid_argument("no reference carrier made from " + base);
    return found->numbers.imageLength;
}

std::string MessageEntryOf(const ReferenceCarrier& carrier) {
    if (carrier.message.empty())
        return {};
    std::string entry;
    for (char c : carrier.message)
        entry += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return entry + '\0';
}

std::string TestNameOf(const ReferenceCarrier& carrier) {
    std::string name = carrier.file;
    std::ranges::replace_if(
        name, [](unsigned char c) { return std::isalnum(c) == 0; }, '_');
    return name;
}

void PrintTo(const ReferenceCarrier& carrier, std::ostream* out) {
    *out << carrier.file;
}

} // namespace lumora::test
