#include "core/escaped_text.h"

#include <cstring>

const char* EscapeText(const char* bytes, std::size_t size, char* out, int outSize) {
    if (outSize < 1) return out;
    static const char kHex[] = "0123456789abcdef";
    const std::size_t room = static_cast<std::size_t>(outSize) - 1;
    std::size_t n = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f) {
            if (n + 1 > room) break;
            out[n++] = static_cast<char>(c);
        } else {
            if (n + 4 > room) break;
            out[n++] = '\\';
            out[n++] = 'x';
            out[n++] = kHex[c >> 4];
            out[n++] = kHex[c & 15];
        }
    }
    out[n] = '\0';
    return out;
}

const char* EscapeText(const char* text, char* out, int outSize) {
    return EscapeText(text, std::strlen(text), out, outSize);
}
