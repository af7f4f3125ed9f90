#include "foundation/Credential.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr size_t kSeedDigits = 4;
constexpr size_t kUnitDigits = 6;
constexpr size_t kCheckDigits = 4;

uint16_t RandomByte() {
    return static_cast<uint16_t>(std::rand() & 0xFF);
}

uint16_t NextKey(uint16_t key, uint16_t filler) {
    return static_cast<uint16_t>(key * 0x6D2Bu + filler + 1u);
}

uint16_t NextCheck(uint16_t check, uint16_t unit) {
    return static_cast<uint16_t>(check * 31u + unit);
}

void AppendHex(std::wstring& out, unsigned value, size_t digits) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (size_t i = digits; i-- > 0;) {
        out += kDigits[(value >> (4 * i)) & 0xF];
    }
}

bool ParseHex(const std::wstring& text, size_t pos, size_t digits, uint16_t& value) {
    unsigned parsed = 0;
    for (size_t i = 0; i < digits; ++i) {
        const wchar_t c = text[pos + i];
        unsigned digit;
        if (c >= L'0' && c <= L'9') {
            digit = c - L'0';
        } else if (c >= L'A' && c <= L'F') {
            digit = c - L'A' + 10;
        } else if (c >= L'a' && c <= L'f') {
            digit = c - L'a' + 10;
        } else {
            return false;
        }
        parsed = parsed * 16 + digit;
    }
    value = static_cast<uint16_t>(parsed);
    return true;
}

} // namespace

std::wstring ScrambleCredential(const std::wstring& text) {
    if (text.empty()) {
        return std::wstring();
    }
    // rand() may give only 15 bits.
    const uint16_t seed = static_cast<uint16_t>((RandomByte() << 8) | RandomByte());
    std::wstring out;
    out.reserve(kSeedDigits + text.size() * kUnitDigits + kCheckDigits);
    AppendHex(out, seed, kSeedDigits);
    uint16_t key = seed;
    uint16_t check = seed;
    for (const wchar_t c : text) {
        const uint16_t unit = static_cast<uint16_t>(c);
        const uint16_t filler = RandomByte();
        key = NextKey(key, filler);
        check = NextCheck(check, unit);
        AppendHex(out, filler, 2);
        AppendHex(out, static_cast<uint16_t>(unit ^ key), 4);
    }
    AppendHex(out, check, kCheckDigits);
    return out;
}

std::wstring UnscrambleCredential(const std::wstring& text) {
    if (text.size() < kSeedDigits + kUnitDigits + kCheckDigits ||
        (text.size() - kSeedDigits - kCheckDigits) % kUnitDigits != 0) {
        return std::wstring();
    }
    uint16_t seed = 0;
    if (!ParseHex(text, 0, kSeedDigits, seed)) {
        return std::wstring();
    }
    const size_t checkPos = text.size() - kCheckDigits;
    std::wstring plain;
    plain.reserve((checkPos - kSeedDigits) / kUnitDigits);
    uint16_t key = seed;
    uint16_t check = seed;
    for (size_t pos = kSeedDigits; pos < checkPos; pos += kUnitDigits) {
        uint16_t filler = 0;
        uint16_t scrambled = 0;
        if (!ParseHex(text, pos, 2, filler) || !ParseHex(text, pos + 2, 4, scrambled)) {
            return std::wstring();
        }
        key = NextKey(key, filler);
        const uint16_t unit = static_cast<uint16_t>(scrambled ^ key);
        check = NextCheck(check, unit);
        plain += static_cast<wchar_t>(unit);
    }
    uint16_t stored = 0;
    if (!ParseHex(text, checkPos, kCheckDigits, stored) || stored != check) {
        return std::wstring();
    }
    return plain;
}
