// Header saving for the mixed table format: the classic headers of a direction
// plus its two new ones, written through the same templates-and-placeholders
// path and renamed into place together.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "emit/header_files.h"
#include "wbgen/mixed_table_storage.h"

// The four new templates, then the four new headers. Placeholder tags:
// "#mixTables#", "#mixXorTables#", "#invMixTables#", "#invMixXorTables#".
struct MixedHeaderFilePaths {
    std::string mixTableTpl;
    std::string mixXorTableTpl;
    std::string invMixTableTpl;
    std::string invMixXorTableTpl;
    std::string mixTable;
    std::string mixXorTable;
    std::string invMixTable;
    std::string invMixXorTable;
};

// The four new header paths, encryption ones first.
std::vector<std::string> headerPaths(const MixedHeaderFilePaths& paths);

// The three classic encryption headers (from storage.tables), then the mix and
// mix XOR headers, one saving line each; all five renamed into place together.
// 0 or -1, as saveEncryptionHeaders; Rounds 10, 12 or 14 as there.
template <int Rounds>
[[nodiscard]] int32_t saveMixedEncryptionHeaders(const HeaderFilePaths& paths,
                                                 const MixedHeaderFilePaths& mixedPaths,
                                                 const MixedTableStorageOf<Rounds>& storage,
                                                 std::ostream& out = std::cout);
// The same for the five decryption headers.
template <int Rounds>
[[nodiscard]] int32_t saveMixedDecryptionHeaders(const HeaderFilePaths& paths,
                                                 const MixedHeaderFilePaths& mixedPaths,
                                                 const MixedTableStorageOf<Rounds>& storage,
                                                 std::ostream& out = std::cout);
