// Filling header templates with table text and saving the six headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "wbgen/table_storage.h"

// The six templates, then the six headers, each group in the order round tables,
// XOR tables, final-round table, inverse round, inverse XOR, inverse first-round.
struct HeaderFilePaths {
    std::string roundTableTpl;
    std::string xorTableTpl;
    std::string finalRoundTableTpl;
    std::string invRoundTableTpl;
    std::string invXorTableTpl;
    std::string invFirstRoundTableTpl;
    std::string roundTable;
    std::string xorTable;
    std::string finalRoundTable;
    std::string invRoundTable;
    std::string invXorTable;
    std::string invFirstRoundTable;
};

// The six header paths, encryption ones first.
std::vector<std::string> headerPaths(const HeaderFilePaths& paths);

// A template as header saving reads it: the whole file, as text up to its first
// NUL byte. false if it cannot be opened or read, or is no regular file (a FIFO
// would block, /dev/zero would never end).
bool readTemplateText(const std::string& path, std::string& text);

// The placeholder step of header saving, on template text already in memory:
// every copy of tag's placeholder (the tag, text without "#", one closing "#")
// loses its "#" characters. Returns where the table text goes, right behind the
// first copy, or std::string::npos, text unchanged, when text holds no tag or no
// "#" behind it.
size_t fillPlaceholder(std::string& text, std::string_view tag);

// Writes the three encryption headers, printing one saving line each to out, and
// renames them into place together (mode 0600). 0, or -1 at the first failing
// step (the later steps do not run, and none of the three headers changes);
// when a rename fails, "Fail to write <header>" follows the saving lines.
// Rounds is 10, 12 or 14 (AES-128, -192, -256): the round and XOR tables print
// that many round slots, one progress mark each.
template <int Rounds>
[[nodiscard]] int32_t saveEncryptionHeaders(HeaderFilePaths paths, const TableStorageOf<Rounds>& storage,
                                            std::ostream& out = std::cout);
// The same for the three decryption headers.
template <int Rounds>
[[nodiscard]] int32_t saveDecryptionHeaders(HeaderFilePaths paths, const TableStorageOf<Rounds>& storage,
                                            std::ostream& out = std::cout);
