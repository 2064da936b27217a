// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/CipherCheckpoints.h"

#include <sodium.h>

namespace lumora {
namespace {

void Wipe(std::vector<PkwareKeys>& keys) {
    if (!keys.empty())
        sodium_memzero(keys.data(), keys.size() * sizeof(PkwareKeys));
}

} // namespace

void CipherCheckpoints::Add(size_t entry, const PkwareKeys& keys) {
    if (entry >= m_entries.size())
        m_entries.resize(entry + 1);
    std::vector<PkwareKeys>& points = m_entries[entry];
    // Grown by hand, so that no copy is left behind unwiped.
    if (points.size() == points.capacity()) {
        std::vector<PkwareKeys> larger;
        larger.reserve(points.empty() ? 64 : points.capacity() * 2);
        larger.assign(points.begin(), points.end());
        Wipe(points);
        points.swap(larger);
    }
    points.push_back(keys);
}

std::span<const PkwareKeys> CipherCheckpoints::Of(size_t entry) const {
    if (entry >= m_entries.size())
        return {};
    return m_entries[entry];
}

void CipherCheckpoints::Clear() {
    for (std::vector<PkwareKeys>& points : m_entries)
        Wipe(points);
    m_entries.clear();
}

} // namespace lumora
