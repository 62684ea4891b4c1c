// Lower-case hex text of bytes, two digits a byte (keys, coding records and
// test expectations).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

std::string hexText(const uint8_t* bytes, size_t n);

// 0-9, a-f or A-F.
constexpr bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
