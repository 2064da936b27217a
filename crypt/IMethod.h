// SPDX-License-Identifier: GPL-2.0-or-later
// IMethod: what every block cipher method of the file cipher layer offers. A method is
// keyed by Initialize, enciphers whole blocks in one of three modes, pads the last block
// of a message, and reads and writes FileCrypt encrypted files (a 32-byte signature of
// method, key and parameters, then the ciphertext).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace lumora {

// Fixed texts of the errors the cipher layer raises as std::runtime_error.
inline constexpr const char* kErrNotInitialized = "Encryption/Decryption Object not Initialized!";
inline constexpr const char* kErrIllegalBlockSize = "Illegal Block Size!";

// Raised by DecryptFile when the stored signature is not the method's own: the file was
// enciphered under another key (or its signature is damaged).
class SignatureMismatch : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IMethod {
public:
    // Operation modes.
    static constexpr int MODE_ECB = 0;
    static constexpr int MODE_CBC = 1;
    static constexpr int MODE_CFB = 2; // full-block feedback
    // Padding modes: zero bytes, blanks, or bytes holding the number of bytes added.
    static constexpr int PAD_ZEROS = 0;
    static constexpr int PAD_BLANKS = 1;
    static constexpr int PAD_COUNT = 2;

    static constexpr int kSignatureSize = 32;

    virtual ~IMethod() = default;

    // Writes the 32-byte signature of method, key and parameters.
    virtual void ComputeSignature(unsigned char* out) = 0;
    // Enciphers or deciphers n bytes, a whole number of blocks, advancing the chain block.
    virtual void Encrypt(const unsigned char* in, unsigned char* out, size_t n) = 0;
    virtual void Decrypt(const unsigned char* in, unsigned char* out, size_t n) = 0;
    // Write and read a FileCrypt encrypted file.
    virtual void EncryptFile(const std::string& inPath, const std::string& outPath) = 0;
    virtual void DecryptFile(const std::string& inPath, const std::string& outPath) = 0;
    // Sets the chain block back to the initial one; call before each new message.
    virtual void RestoreChain() = 0;

    // buf[i] ^= data[i] over one block.
    void XorBlock(unsigned char* buf, const unsigned char* data) const;
    int GetBlockSize() const;
    // Pads the n bytes in buf up to the next multiple of the block size, writing at
    // buf[n] onward, and returns the new length. A whole number of blocks is left as it is.
    size_t PadBuffer(unsigned char* buf, size_t n) const;

protected:
    IMethod() = default;
    IMethod(const IMethod&) = default;
    IMethod& operator=(const IMethod&) = default;

    void RequireInitialized() const;

    bool m_bInitialized = false;
    int m_iBlockSize = 0;
    int m_iKeyLength = 0;
    int m_iMode = MODE_ECB;
    int m_iPadding = PAD_ZEROS;
};

} // namespace lumora
