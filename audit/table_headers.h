// Reading emitted table headers back into bytes, whatever template framed them.
// The text is read as a C compiler reads it: line splices joined, comments and
// the groups of "#if 0" (and every other conditional whose value is a literal)
// skipped, integer literals read as C reads them. A table is found by its array
// name (roundTables, xorTables, finalRoundTable, invRoundTables, invXorTables,
// invFirstRoundTable) followed by its bracketed dimensions and "= {"; exactly
// the number of values the layout gives must follow inside the braces.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kRoundTableBytes = 10 * 4 * 4 * 256 * 4; // [10][4][4][256][4]
constexpr size_t kXorTableBytes = 10 * 4 * 24 * 256;      // [10][4][24][256]
constexpr size_t kLastTableBytes = 4 * 4 * 256;           // [4][4][256]

// The largest script or header the audit reads: a header of the tool is under
// 1.5 MB, so a larger file is refused (AUDIT_BAD_HEADERS) before it is read.
constexpr size_t kAuditInputCap = size_t{64} << 20; // 64 MiB

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

// Finds the array `name` in text and reads its `count` values (C integer
// literals: decimal, octal, 0x hex or 0b binary, with any u/l/ll suffix, each
// 0..255) into values. Code in a group whose condition is a literal 0 (and in
// the groups a true literal condition rules out) does not count; a condition
// of unknown value (#ifdef, #if FOO) may be taken, so both of its branches
// count. 0; AUDIT_BAD_HEADERS with a one-line reason in error: the initialiser
// is malformed or truncated, the name is declared twice where either may be
// compiled, or the text ends inside a comment or a conditional after the
// declaration; 1 (and no error) when the name is not declared.
int32_t parseTableText(std::string_view text, std::string_view name, size_t count,
                       std::vector<uint8_t>& values, std::string& error);

// Reads a whole regular file of at most kAuditInputCap bytes. 0; 16 when it
// cannot be read; AUDIT_BAD_HEADERS when it is larger than the cap. error says
// which (with the path).
int32_t readAuditInput(const std::string& path, std::string& text, std::string& error);

// Reads every file of paths and collects the six tables by name. A table found
// in two files, or a direction with only some of its tables, is an error, as is
// a set with no complete direction. 0, 16 (a file cannot be read) or
// AUDIT_BAD_HEADERS, with a reason in error.
int32_t loadHeaderSet(const std::vector<std::string>& paths, HeaderSet& set, std::string& error);
