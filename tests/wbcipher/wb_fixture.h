// Shared by the table-cipher tests: tables generated once per key and coding
// variant (generation takes tens of milliseconds).
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"
#include "support/table_sets.h"

namespace wbfixture {

using Block = std::array<uint8_t, 16>;

using testsupport::hexText;
using testsupport::kEcb;
using testsupport::referenceAes;
using vectors::kC1Key;
using vectors::kC1Plain;
using vectors::kC1Cipher;

inline Block blockAt(const std::vector<uint8_t>& data, size_t offset) {
    Block block{};
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), 16, block.begin());
    return block;
}

inline RandomState stateFor(uint32_t seed) {
    RandomState state{};
    const std::vector<uint8_t> bytes = testsupport::pseudoRandomBytes(16, seed);
    std::copy(bytes.begin(), bytes.end(), state.begin());
    return state;
}

using KeyTables = testsupport::TableSet;
using testsupport::Codings;

// A cached set of the classic or mixed format: built once; a build that fails
// is reported with the key and the status.
inline std::unique_ptr<KeyTables> builtSet(testsupport::TableKind kind, const std::string& keyText, uint32_t seed,
                                           Codings codings) {
    auto set = std::make_unique<KeyTables>();
    std::string report;
    const int32_t status = testsupport::makeTableSet(kind, keyText, stateFor(seed), codings, *set, &report);
    if (status != 0 || !report.empty()) {
        ADD_FAILURE() << "table set of key " << keyText << " not built: status " << status << ", " << report;
    }
    return set;
}

inline std::unique_ptr<KeyTables> makeKeyTables(const std::string& keyText, uint32_t seed, Codings codings) {
    return builtSet(testsupport::TableKind::Classic, keyText, seed, codings);
}

inline std::string randomKeyText(uint32_t seed) {
    const std::vector<uint8_t> key = testsupport::pseudoRandomBytes(16, seed);
    return hexText(key.data(), key.size());
}

constexpr size_t kPlainKeys = 4;

// Plain tables: index 0 is the FIPS-197 key, 1..3 random keys. Generated on first use.
inline const KeyTables& plainTables(size_t index) {
    static std::array<std::unique_ptr<KeyTables>, kPlainKeys> cache;
    if (!cache[index]) {
        const uint32_t seed = static_cast<uint32_t>(100 + index);
        cache[index] = makeKeyTables(index == 0 ? std::string(kC1Key) : randomKeyText(seed), seed,
                                     Codings::None);
    }
    return *cache[index];
}

inline const KeyTables& ecbCodedTables() {
    static const std::unique_ptr<KeyTables> tables = makeKeyTables(randomKeyText(200), 200, Codings::Ecb);
    return *tables;
}

inline const KeyTables& cbcCodedTables() {
    static const std::unique_ptr<KeyTables> tables = makeKeyTables(randomKeyText(300), 300, Codings::Cbc);
    return *tables;
}

} // namespace wbfixture
