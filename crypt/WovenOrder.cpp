// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/WovenOrder.h"

#include "crypt/WovenLayout.h"

#include <algorithm>
#include <cstring>
#include <sodium.h>

namespace lumora {
namespace {

constexpr uint8_t kPublicKey[PositionOrder::kKeySize] = {};

static_assert(WovenKeys::kKeySize == crypto_stream_chacha20_KEYBYTES);
static_assert(kWovenMaxElements == PositionOrder::kMaxDomain);

uint64_t KeyedDomain(uint64_t elements) {
    return elements > kWovenSaltPositions ? elements - kWovenSaltPositions : 0;
}

} // namespace

WovenOrder::WovenOrder(uint64_t elements) : m_public(kPublicKey, elements) {}

WovenOrder::WovenOrder(uint64_t elements, const WovenKeys& keys) : m_public(kPublicKey, elements) {
    if (!keys.Empty())
        m_keyed.emplace(keys.PositionKey(), KeyedDomain(elements));
}

uint64_t WovenOrder::Placeable() const {
    return m_keyed ? Elements() : std::min(Elements(), kWovenSaltPositions);
}

bool WovenOrder::Fill(uint64_t first, size_t count, uint32_t* out) const {
    if (first > Placeable() || count > Placeable() - first)
        return false;
    const size_t salt =
        first < kWovenSaltPositions
            ? static_cast<size_t>(std::min<uint64_t>(count, kWovenSaltPositions - first))
            : 0;
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint32_t>(i < salt ? first + i : first + i - kWovenSaltPositions);
    if (m_keyed) {
        m_keyed->Map(out + salt, count - salt);
        for (size_t i = salt; i < count; ++i)
            out[i] += kWovenSaltPositions;
    }
    m_public.Map(out, count);
    return true;
}

bool WovenOrder::IndicesOf(uint64_t first, size_t count, uint32_t* out) const {
    if (!m_keyed || first > Elements() || count > Elements() - first)
        return false;
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint32_t>(first + i);
    m_public.Unmap(out, count);
    // A public place below the salt's end is its own order index. The others go through the
    // keyed order backwards; the salt's are parked past the keyed domain meanwhile, where
    // Unmap leaves them alone (keyed + salt places are below Elements(), so they fit).
    const auto keyed = static_cast<uint32_t>(m_keyed->Domain());
    constexpr auto kSalt = static_cast<uint32_t>(kWovenSaltPositions);
    for (size_t i = 0; i < count; ++i)
        out[i] = out[i] >= kSalt ? out[i] - kSalt : out[i] + keyed;
    m_keyed->Unmap(out, count);
    for (size_t i = 0; i < count; ++i)
        out[i] = out[i] >= keyed ? out[i] - keyed : out[i] + kSalt;
    return true;
}

bool FillWovenTieBits(const WovenKeys& keys, uint64_t first, size_t count, uint8_t* out) {
    if (keys.Empty())
        return false;
    constexpr uint64_t kBlockBits = 512;
    constexpr uint64_t kBlocks = 16;
    uint8_t stream[kBlocks * kBlockBits / 8];
    const uint8_t nonce[crypto_stream_chacha20_NONCEBYTES] = {};
    for (size_t done = 0; done < count;) {
        const uint64_t bit = first + done;
        const uint64_t block = bit / kBlockBits;
        std::memset(stream, 0, sizeof stream);
        crypto_stream_chacha20_xor_ic(stream, stream, sizeof stream, nonce, block, keys.TieKey());
        const uint64_t end = std::min<uint64_t>((block + kBlocks) * kBlockBits, first + count);
        for (uint64_t at = bit; at < end; ++at, ++done) {
            const uint64_t inStream = at - block * kBlockBits;
            out[done] = (stream[inStream / 8] >> (inStream % 8)) & 1;
        }
    }
    sodium_memzero(stream, sizeof stream);
    return true;
}

} // namespace lumora
