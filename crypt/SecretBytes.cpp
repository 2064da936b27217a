// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SecretBytes.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sodium.h>
#include <unistd.h>

namespace lumora {
namespace {

size_t PageSize() {
    static const size_t size = [] {
        long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<size_t>(page) : size_t{4096};
    }();
    return size;
}

} // namespace

SecretBytes::SecretBytes(size_t size) {
    if (size == 0)
        return;
    // A whole number of pages, so locking and unlocking never touch a neighbour's memory.
    m_capacity = (size + PageSize() - 1) / PageSize() * PageSize();
    m_data = static_cast<uint8_t*>(std::aligned_alloc(PageSize(), m_capacity));
    if (m_data == nullptr)
        throw std::bad_alloc();
    std::memset(m_data, 0, m_capacity);
    m_locked = sodium_mlock(m_data, m_capacity) == 0;
    m_size = size;
}

SecretBytes::SecretBytes(const void* data, size_t size) : SecretBytes(size) {
    if (size > 0)
        std::memcpy(m_data, data, size);
}

SecretBytes::~SecretBytes() {
    Release();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_capacity(other.m_capacity),
      m_locked(other.m_locked) {
    other.m_data = nullptr;
    other.m_size = other.m_capacity = 0;
    other.m_locked = false;
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        Release();
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_locked, other.m_locked);
    }
    return *this;
}

void SecretBytes::Release() {
    if (m_data == nullptr)
        return;
    // sodium_munlock wipes before it unlocks; memory that could not be locked is wiped here.
    if (m_locked)
        sodium_munlock(m_data, m_capacity);
    else
        sodium_memzero(m_data, m_capacity);
    std::free(m_data);
    m_data = nullptr;
    m_size = m_capacity = 0;
    m_locked = false;
}

Password Password::Take(std::string& text) {
    Password password(text);
    WipeString(text);
    return password;
}

bool Password::operator==(const Password& other) const {
    return Size() == other.Size() &&
           (Size() == 0 || sodium_memcmp(Data(), other.Data(), Size()) == 0);
}

void WipeString(std::string& text) {
    // Spare capacity may still hold an earlier, longer value.
    text.resize(text.capacity());
    sodium_memzero(text.data(), text.size());
    text.clear();
}

} // namespace lumora
