#pragma once
// The update agent's protected policy values as the tests write and read them on their own, with
// crypt32 linked directly: 4 little-endian bytes, protected, Base64 text for the machine scope.
#include "platform/win32.h"
// after windows.h
#include <wincrypt.h>
#include <dpapi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace protected_values {

inline std::vector<uint8_t> littleEndian(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

// Empty when the data cannot be unprotected.
inline std::vector<uint8_t> unprotect(std::vector<uint8_t> bytes) {
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), bytes.data()}, out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return {};
    std::vector<uint8_t> result(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return result;
}

inline std::vector<uint8_t> fromBase64(const std::string& text) {
    std::vector<uint8_t> bytes(text.size());
    DWORD size = static_cast<DWORD>(bytes.size());
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, bytes.data(), &size,
                              nullptr, nullptr))
        return {};
    bytes.resize(size);
    return bytes;
}

// bytes protected in the machine's scope, as Base64 text without line breaks.
inline std::string machineProtectedText(std::vector<uint8_t> bytes) {
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), bytes.data()}, out{};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN,
                          &out))
        return {};
    std::string text(out.cbData * 2 + 4, '\0');
    DWORD size = static_cast<DWORD>(text.size());
    CryptBinaryToStringA(out.pbData, out.cbData, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &text[0], &size);
    LocalFree(out.pbData);
    text.resize(size);
    return text;
}

}  // namespace protected_values
