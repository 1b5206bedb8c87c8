// Whitespace and decimal numbers in outside text: the history files, the
// link reports and the settings file all read them by this one rule.
//
// Threading: none of its own; pure functions on the caller's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Whitespace: blank, tab, LF, VT, FF, CR.
struct TextSpaceTable {
    bool Is[256];
    constexpr TextSpaceTable() : Is{} {
        for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
            Is[static_cast<unsigned char>(c)] = true;
        }
    }
};
inline constexpr TextSpaceTable kTextSpace;

inline bool IsTextSpace(char c) {
    return kTextSpace.Is[static_cast<unsigned char>(c)];
}

// A decimal integer: optional leading whitespace and sign, then the leading
// digits (none gives 0); anything behind them is ignored. Saturates at the
// 32-bit range.
std::int32_t ScanDecimal(const char* text, std::size_t length);
