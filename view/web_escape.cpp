#include "view/web_escape.h"

#include <cstring>

namespace {

const char kHex[] = "0123456789ABCDEF";

// \xNN; in JSON the backslash itself is escaped, so the value reads \xNN.
void AppendHexByte(std::string& out, unsigned char c, int json) {
    if (json) out += '\\';
    const char text[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 0x0F]};
    out.append(text, sizeof text);
}

// Calls `plain` for each ASCII byte that is not a control character,
// appends whole UTF-8 sequences as they stand and every other byte as \xNN.
template <typename Plain>
void AppendSafe(std::string& out, const char* bytes, std::size_t size, int json, Plain plain) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = p[i];
        if (c >= 0x20 && c < 0x7F) {
            plain(static_cast<char>(c));
        } else if (const std::size_t n = c >= 0x80 ? Utf8SequenceLength(p + i, size - i) : 0) {
            out.append(bytes + i, n);
            i += n;
            continue;
        } else {
            AppendHexByte(out, c, json);
        }
        ++i;
    }
}

}  // namespace

std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t left) {
    const unsigned char c = p[0];
    std::size_t n = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, code = c & 0x1Fu, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, code = c & 0x0Fu, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, code = c & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (n > left) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (p[i] & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

void AppendHtml(std::string& out, const char* bytes, std::size_t size) {
    AppendSafe(out, bytes, size, 0, [&out](char c) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    });
}

void AppendHtml(std::string& out, const char* text) {
    AppendHtml(out, text, std::strlen(text));
}

void AppendJsonString(std::string& out, const char* bytes, std::size_t size) {
    AppendSafe(out, bytes, size, 1, [&out](char c) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    });
}

std::size_t CellTextLength(const char* cell, std::size_t max) {
    const void* nul = std::memchr(cell, '\0', max);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - cell) : max;
}
