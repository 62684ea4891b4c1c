// Reading emitted table headers back into bytes, whatever template framed them.
// A table is found by its array name (roundTables, xorTables, finalRoundTable,
// invRoundTables, invXorTables, invFirstRoundTable) followed by its bracketed
// dimensions and "= {"; exactly the number of values the layout gives must
// follow inside the braces.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kRoundTableBytes = 10 * 4 * 4 * 256 * 4; // [10][4][4][256][4]
constexpr size_t kXorTableBytes = 10 * 4 * 24 * 256;      // [10][4][24][256]
constexpr size_t kLastTableBytes = 4 * 4 * 256;           // [4][4][256]

enum class Direction { Encrypt, Decrypt };

// The three tables of one direction in storage order: round tables, XOR tables
// and the last byte table (final round, or inverse first round).
struct DirectionTables {
    std::vector<uint8_t> round;
    std::vector<uint8_t> xors;
    std::vector<uint8_t> last;
};

struct HeaderSet {
    bool hasEncrypt = false;
    bool hasDecrypt = false;
    DirectionTables encrypt;
    DirectionTables decrypt;
};

// Finds the array `name` in text and reads its `count` values (decimal or 0x
// hex, each 0..255) into values: the first "name[..] = {" whose initialiser
// reads whole. 0; AUDIT_BAD_HEADERS with a one-line reason in error (from the
// candidate that read furthest); 1 (and no error) when the name is not declared.
int32_t parseTableText(std::string_view text, std::string_view name, size_t count,
                       std::vector<uint8_t>& values, std::string& error);

// Reads every file of paths and collects the six tables by name. A table found
// in two files, or a direction with only some of its tables, is an error, as is
// a set with no complete direction. 0, 16 (a file cannot be read) or
// AUDIT_BAD_HEADERS, with a reason in error.
int32_t loadHeaderSet(const std::vector<std::string>& paths, HeaderSet& set, std::string& error);
