#include "core/text_scan.h"

namespace {

constexpr std::int64_t kInt32Max = 2147483647;

}  // namespace

std::int32_t ScanDecimal(const char* text, std::size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsTextSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // At most one past the largest value, so that the smallest stays
    // reachable; further digits are still consumed.
    std::int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > kInt32Max + 1) {
            value = kInt32Max + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    // -(kInt32Max + 1) is the smallest value: only the largest needs a bound.
    if (value > kInt32Max) {
        value = kInt32Max;
    }
    return static_cast<std::int32_t>(value);
}
