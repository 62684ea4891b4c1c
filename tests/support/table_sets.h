// Table sets for tests: both directions of one key, classic or mixed, of AES-128
// (TableSet), AES-192 (TableSet192) or AES-256 (TableSet256), generated from a
// fixed random state with no codings, ECB codings or CBC triples. The builder
// returns a status for the test to assert on.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/status.h"
#include "coding/cbc_codings.h"
#include "coding/ecb_codings.h"
#include "support/support.h"
#include "wbgen/mixed_table_generator.h"
#include "wbgen/table_generator.h"

namespace testsupport {

enum class Codings { None, Ecb, Cbc };
enum class TableKind { Classic, Mixed };

// Both directions of one key of R rounds, with the coding sets they were
// generated with.
template <int Rounds>
struct TableSetOf {
    static constexpr int kRounds = Rounds;
    std::string keyText;
    std::vector<uint8_t> keyBytes() const { return hexBytes(keyText); }
    std::unique_ptr<TableStorageOf<Rounds>> tables;     // the classic format (null for mixed)
    std::unique_ptr<MixedTableStorageOf<Rounds>> mixed; // the mixed format (null for classic)
    // enc input, enc output, dec input, dec output; for CBC triples then the
    // encryption and decryption data sets.
    std::unique_ptr<std::array<CodingSet, 6>> sets = std::make_unique<std::array<CodingSet, 6>>();
    std::unique_ptr<MixingBijectionsOf<Rounds>> encMixing; // the mixed format's matrices
    std::unique_ptr<MixingBijectionsOf<Rounds>> decMixing;

    const CodingSet& encIn() const { return (*sets)[0]; }
    const CodingSet& encOut() const { return (*sets)[1]; }
    const CodingSet& decIn() const { return (*sets)[2]; }
    const CodingSet& decOut() const { return (*sets)[3]; }
    const CodingSet& encData() const { return (*sets)[4]; }
    const CodingSet& decData() const { return (*sets)[5]; }
};
using TableSet = TableSetOf<kAes128Rounds>;
using TableSet192 = TableSetOf<kAes192Rounds>;
using TableSet256 = TableSetOf<kAes256Rounds>;

// Fills out with both directions of keyText (32, 48 or 64 hex digits for the
// set's R) in the given format, drawn from
// state: first the codings (the encryption pair or triple, then the
// decryption one), then the encryption tables, then the decryption tables.
// STATUS_OK, or the status of the first step that failed; *report (if given)
// gets what the generators printed.
template <int Rounds>
[[nodiscard]] int32_t makeTableSet(TableKind kind, const std::string& keyText, const RandomState& state,
                                   Codings codings, TableSetOf<Rounds>& out, std::string* report = nullptr) {
    out.keyText = keyText;
    std::ostringstream printed;
    TableGenerator generator(state, printed);
    RandomSource& random = generator.random();
    auto& sets = *out.sets;
    int32_t status = STATUS_OK;
    if (codings == Codings::Ecb) {
        status = makeEcbCodings(random, sets[0], sets[1]);
        if (status == STATUS_OK) status = makeEcbCodings(random, sets[2], sets[3]);
    } else if (codings == Codings::Cbc) {
        auto triple = std::make_unique<CbcTriple>();
        for (const CipherDirection direction : {CipherDirection::encryption, CipherDirection::decryption}) {
            if (status == STATUS_OK) status = makeCbcTriple(random, direction, *triple);
            const size_t first = direction == CipherDirection::encryption ? 0 : 2;
            sets[first] = triple->input;
            sets[first + 1] = triple->output;
            sets[direction == CipherDirection::encryption ? 4 : 5] = triple->data;
        }
    }
    const bool coded = codings != Codings::None;
    const CodingSet* encIn = coded ? &sets[0] : nullptr;
    const CodingSet* encOut = coded ? &sets[1] : nullptr;
    const CodingSet* decIn = coded ? &sets[2] : nullptr;
    const CodingSet* decOut = coded ? &sets[3] : nullptr;
    if (kind == TableKind::Classic) {
        out.tables = std::make_unique<TableStorageOf<Rounds>>();
        if (status == STATUS_OK) status = generator.generateEncryptionTables(keyText.c_str(), *out.tables, encIn, encOut);
        if (status == STATUS_OK) status = generator.generateDecryptionTables(keyText.c_str(), *out.tables, decIn, decOut);
    } else {
        out.mixed = std::make_unique<MixedTableStorageOf<Rounds>>();
        out.encMixing = std::make_unique<MixingBijectionsOf<Rounds>>();
        out.decMixing = std::make_unique<MixingBijectionsOf<Rounds>>();
        if (status == STATUS_OK) {
            status = generateMixedEncryptionTables(random, keyText.c_str(), *out.mixed, encIn, encOut, printed,
                                                   out.encMixing.get());
        }
        if (status == STATUS_OK) {
            status = generateMixedDecryptionTables(random, keyText.c_str(), *out.mixed, decIn, decOut, printed,
                                                   out.decMixing.get());
        }
    }
    if (report != nullptr) *report = printed.str();
    return status;
}

} // namespace testsupport
