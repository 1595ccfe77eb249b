#pragma once
// A four-character code in one 32-bit value, first character in the lowest
// byte: the order in which RIFF files store their identifiers, so a code
// compares directly with four bytes read from a file.

#include <cstdint>

namespace sonabel {

class FourCC {
public:
    constexpr FourCC() = default;
    constexpr explicit FourCC(uint32_t v) : value(v) {}
    // null or "" give 0; 1 or 2 characters are padded with zero bytes; longer
    // texts give their first four bytes (3 characters end in a zero byte).
    constexpr explicit FourCC(const char* text) : value(fromText(text)) {}

    // The four bytes and a terminating zero.
    struct Text {
        char chars[5];
        const char* c_str() const { return chars; }
    };
    Text toText() const;

    constexpr bool operator==(const FourCC&) const = default;
    uint32_t value = 0;

private:
    static constexpr uint32_t fromText(const char* text) {
        if (!text) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4 && text[i]; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
        return v;
    }
};

inline constexpr FourCC ENCODING_NONE{"NONE"};
inline constexpr FourCC ENCODING_PCM{"PCM"};

} // namespace sonabel
