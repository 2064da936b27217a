// SPDX-License-Identifier: GPL-2.0-or-later
// Bytes that must not outlive their use: passwords and keys. They live in page-aligned
// memory that is locked against swapping where the lock limit allows it (the default
// limit is small, so only these buffers are locked), and are wiped before the memory is
// given back. Move-only: a secret has one owner, and everyone else borrows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(size_t size); // zero-filled
    SecretBytes(const void* data, size_t size);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    uint8_t* Data() { return m_data; }
    const uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    // True when the bytes are held in locked memory.
    bool Locked() const { return m_locked; }

private:
    void Release();

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    bool m_locked = false;
};

// A password as the user typed it, UTF-8, in secret memory. The empty password is a
// password (carriers can be saved under it); "no password" is an empty optional or a null
// pointer at the caller.
class Password {
public:
    Password() = default;
    explicit Password(std::string_view text) : m_bytes(text.data(), text.size()) {}
    // Copies text and wipes it, so the caller's copy does not outlive this one.
    static Password Take(std::string& text);

    std::string_view View() const {
        return {reinterpret_cast<const char*>(m_bytes.Data()), m_bytes.Size()};
    }
    const uint8_t* Data() const { return m_bytes.Data(); }
    size_t Size() const { return m_bytes.Size(); }
    bool Empty() const { return m_bytes.Empty(); }
    // A NUL cuts the password short where the format keys its cipher from a C string.
    bool HasNul() const { return View().find('\0') != std::string_view::npos; }
    // Compared in constant time.
    bool operator==(const Password& other) const;
    Password Copy() const { return Password(View()); }

private:
    SecretBytes m_bytes;
};

// Overwrites text with zero bytes and empties it.
void WipeString(std::string& text);

} // namespace lumora
