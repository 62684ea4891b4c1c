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

#include "coding/cbc_codings.h"
#include "coding/ecb_codings.h"
#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"
#include "wbgen/table_generator.h"

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

// Both directions of one key, with the coding sets they were generated with.
struct KeyTables {
    std::string keyText;
    std::vector<uint8_t> keyBytes() const { return testsupport::hexBytes(keyText); }
    std::unique_ptr<TableStorage> tables = std::make_unique<TableStorage>();
    // ECB: enc input, enc output, dec input, dec output. CBC: the same four, then
    // the encryption and decryption data sets.
    std::unique_ptr<std::array<CodingSet, 6>> sets = std::make_unique<std::array<CodingSet, 6>>();
    const CodingSet& encIn() const { return (*sets)[0]; }
    const CodingSet& encOut() const { return (*sets)[1]; }
    const CodingSet& decIn() const { return (*sets)[2]; }
    const CodingSet& decOut() const { return (*sets)[3]; }
    const CodingSet& encData() const { return (*sets)[4]; }
    const CodingSet& decData() const { return (*sets)[5]; }
};

enum class Codings { None, Ecb, Cbc };

inline std::unique_ptr<KeyTables> makeKeyTables(const std::string& keyText, uint32_t seed, Codings codings) {
    auto result = std::make_unique<KeyTables>();
    result->keyText = keyText;
    std::ostringstream report;
    TableGenerator generator(stateFor(seed), report);
    auto& sets = *result->sets;
    if (codings == Codings::Ecb) {
        EXPECT_EQ(makeEcbCodings(generator.random(), sets[0], sets[1]), 0);
        EXPECT_EQ(makeEcbCodings(generator.random(), sets[2], sets[3]), 0);
    } else if (codings == Codings::Cbc) {
        // Encryption triple: input, output, data. Decryption triple in the order
        // (data, output, input).
        EXPECT_EQ(makeCbcCodings(generator.random(), sets[0], sets[1], sets[4]), 0);
        EXPECT_EQ(makeCbcCodings(generator.random(), sets[5], sets[3], sets[2]), 0);
    }
    const bool coded = codings != Codings::None;
    EXPECT_EQ(generator.generateEncryptionTables(keyText.c_str(), *result->tables,
                                                 coded ? &sets[0] : nullptr, coded ? &sets[1] : nullptr), 0);
    EXPECT_EQ(generator.generateDecryptionTables(keyText.c_str(), *result->tables,
                                                 coded ? &sets[2] : nullptr, coded ? &sets[3] : nullptr), 0);
    EXPECT_EQ(report.str(), "");
    return result;
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
