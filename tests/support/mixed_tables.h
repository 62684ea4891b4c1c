// Mixed-format tables for tests: both directions of one key, generated from a
// fixed random state, with no codings, ECB codings or CBC triples.
#pragma once
#include <array>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "coding/cbc_codings.h"
#include "coding/ecb_codings.h"
#include "wbgen/mixed_table_generator.h"

namespace testsupport {

enum class MixedCodings { None, Ecb, Cbc };

struct MixedKeyTables {
    std::unique_ptr<MixedTableStorage> tables = std::make_unique<MixedTableStorage>();
    // enc input, enc output, dec input, dec output, enc data, dec data (CBC only).
    std::unique_ptr<std::array<CodingSet, 6>> sets = std::make_unique<std::array<CodingSet, 6>>();
    std::unique_ptr<MixingBijections> encMixing = std::make_unique<MixingBijections>();
    std::unique_ptr<MixingBijections> decMixing = std::make_unique<MixingBijections>();
};

inline std::unique_ptr<MixedKeyTables> makeMixedTables(const std::string& keyText,
                                                       const RandomState& state,
                                                       MixedCodings codings) {
    auto result = std::make_unique<MixedKeyTables>();
    RandomSource random(state);
    auto& sets = *result->sets;
    if (codings == MixedCodings::Ecb) {
        EXPECT_EQ(makeEcbCodings(random, sets[0], sets[1]), 0);
        EXPECT_EQ(makeEcbCodings(random, sets[2], sets[3]), 0);
    } else if (codings == MixedCodings::Cbc) {
        // Encryption triple (input, output, data); decryption (data, output, input).
        EXPECT_EQ(makeCbcCodings(random, sets[0], sets[1], sets[4]), 0);
        EXPECT_EQ(makeCbcCodings(random, sets[5], sets[3], sets[2]), 0);
    }
    const bool coded = codings != MixedCodings::None;
    std::ostringstream report;
    EXPECT_EQ(generateMixedEncryptionTables(random, keyText.c_str(), *result->tables,
                                            coded ? &sets[0] : nullptr, coded ? &sets[1] : nullptr,
                                            report, result->encMixing.get()),
              0);
    EXPECT_EQ(generateMixedDecryptionTables(random, keyText.c_str(), *result->tables,
                                            coded ? &sets[2] : nullptr, coded ? &sets[3] : nullptr,
                                            report, result->decMixing.get()),
              0);
    EXPECT_EQ(report.str(), "");
    return result;
}

} // namespace testsupport
