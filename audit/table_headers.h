// Reading emitted table headers back into bytes, whatever template framed them.
// The text is read as a C compiler reads it: line splices joined, comments and
// the groups of "#if 0" (and every other conditional whose value is a literal)
// skipped, integer literals read as C reads them. A table is found by its array
// name (roundTables, xorTables, finalRoundTable, invRoundTables, invXorTables,
// invFirstRoundTable) followed by its bracketed dimensions and "= {"; exactly
// the number of values the layout gives must follow inside the braces. The
// round and XOR tables hold one slot per round: their first dimension, a
// literal 10, 12 or 14, is the round count R of AES-128, AES-192 or AES-256.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kRoundSlotBytes = 4 * 4 * 256 * 4; // [4][4][256][4] of each round slot
constexpr size_t kXorSlotBytes = 4 * 24 * 256;       // [4][24][256] of each round slot
// Whether R is the round count of an AES key size: 10, 12 or 14.
constexpr bool isAuditRoundCount(int rounds) { return rounds == 10 || rounds == 12 || rounds == 14; }
constexpr size_t roundTableBytes(int rounds) { return static_cast<size_t>(rounds) * kRoundSlotBytes; } // [R][4][4][256][4]
constexpr size_t xorTableBytes(int rounds) { return static_cast<size_t>(rounds) * kXorSlotBytes; }     // [R][4][24][256]
constexpr size_t kRoundTableBytes = roundTableBytes(10); // AES-128's
constexpr size_t kXorTableBytes = xorTableBytes(10);
constexpr size_t kLastTableBytes = 4 * 4 * 256; // [4][4][256]

// The largest script or header the audit reads: a header of the tool is under
// 1.5 MB, so a larger file is refused (AUDIT_BAD_HEADERS) before it is read.
constexpr size_t kAuditInputCap = size_t{64} << 20; // 64 MiB

enum class Direction { Encrypt, Decrypt };

// The three tables of one direction in storage order: round tables, XOR tables
// and the last byte table (final round, or inverse first round), for a key of
// `rounds` rounds: R - 1 table rounds in R slots, then the byte table.
struct DirectionTables {
    std::vector<uint8_t> round;
    std::vector<uint8_t> xors;
    std::vector<uint8_t> last;
    int rounds = 10;
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

// parseTableText for a table of round slots, [R][...] with slotBytes bytes per
// slot. Declared with two or more dimensions, the first a literal, that
// literal is R and must be 10, 12 or 14 (else AUDIT_BAD_HEADERS), and R slots
// of values must follow; declared otherwise (flat, empty or macro dimensions,
// none), the values must make 10, 12 or 14 slots, and their number gives R.
// rounds is R when the status is 0.
int32_t parseRoundTableText(std::string_view text, std::string_view name, size_t slotBytes,
                            std::vector<uint8_t>& values, int& rounds, std::string& error);

// Reads a whole regular file of at most kAuditInputCap bytes. 0; 16 when it
// cannot be read; AUDIT_BAD_HEADERS when it is larger than the cap. error says
// which (with the path).
int32_t readAuditInput(const std::string& path, std::string& text, std::string& error);

// Reads every file of paths and collects the six tables by name. A table found
// in two files, or a direction with only some of its tables, is an error, as is
// a set with no complete direction or round and XOR tables of different round
// counts; the round count goes into each direction's tables. 0, 16 (a file cannot be read) or
// AUDIT_BAD_HEADERS, with a reason in error.
int32_t loadHeaderSet(const std::vector<std::string>& paths, HeaderSet& set, std::string& error);
