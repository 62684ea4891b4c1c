// [TABLES] format of a "/g:" script: which table network the command builds.
//   absent, empty or "classic"  the classic six tables;
//   "mixed"                     the mixed format, with mixing bijections and
//                               four more tables (eight more HEADER_FILES keys).
// [TABLES] keyBits: the AES key size of both keys.
//   absent, empty or "128"      AES-128 (32 hex digits, R = 10);
//   "192", "256"                AES-192 (48 digits, R = 12), AES-256 (64, R = 14).
#pragma once
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "base/script_keys.h"
#include "emit/mixed_header_files.h"

enum class TableFormat { Classic, Mixed };

// The format a value names, or nothing for any other value.
std::optional<TableFormat> tableFormatOf(const std::string& value);

// STATUS_OK when value names a format. Any other value writes
// "ERR: BAD TABLE FORMAT '<value>'\n" and returns STATUS_BAD_FORMAT.
[[nodiscard]] int32_t checkTableFormat(const std::string& value, std::ostream& out);

// The round count R of the key size a keyBits value names, or nothing for any
// other value.
std::optional<int> keyRoundsOf(const std::string& value);

// STATUS_OK when value names a key size. Any other value writes
// "ERR: BAD KEY SIZE '<value>'\n" and returns STATUS_BAD_KEY_SIZE.
[[nodiscard]] int32_t checkKeyBits(const std::string& value, std::ostream& out);

// The mixed format's templates and headers as the script names them.
MixedHeaderFilePaths mixedHeaderFilePaths(const ScriptValues& values);
