#include "generated_tables.h"

#include <cstring>

#include "support/table_sets.h"

namespace audittest {
namespace {

template <typename T>
std::vector<uint8_t> bytesOf(const T& block) {
    std::vector<uint8_t> bytes(sizeof block);
    std::memcpy(bytes.data(), &block, sizeof block);
    return bytes;
}

template <int Rounds>
int32_t generate(bool mixed, bool ecbCodings, uint32_t seed, GeneratedSet& out) {
    RandomState state{};
    const std::vector<uint8_t> stateBytes = testsupport::pseudoRandomBytes(16, seed);
    std::copy(stateBytes.begin(), stateBytes.end(), state.begin());
    const std::vector<uint8_t> key = testsupport::pseudoRandomBytes(static_cast<size_t>(4 * (Rounds - 6)), seed + 1);
    out.rounds = Rounds;
    out.key = testsupport::hexText(key.data(), key.size());
    testsupport::TableSetOf<Rounds> set;
    const int32_t status =
        testsupport::makeTableSet(mixed ? testsupport::TableKind::Mixed : testsupport::TableKind::Classic, out.key,
                                  state, ecbCodings ? testsupport::Codings::Ecb : testsupport::Codings::None, set);
    if (status != 0) return status;
    const TableStorageOf<Rounds>& t = mixed ? set.mixed->tables : *set.tables;
    out.encrypt.round = bytesOf(t.enc.roundTables);
    out.encrypt.xors = bytesOf(t.enc.xorTables);
    out.encrypt.last = bytesOf(t.enc.finalRoundTable);
    out.decrypt.round = bytesOf(t.dec.invRoundTables);
    out.decrypt.xors = bytesOf(t.dec.invXorTables);
    out.decrypt.last = bytesOf(t.dec.invFirstRoundTable);
    if (mixed) {
        out.encrypt.mix = bytesOf(set.mixed->enc.mixTables);
        out.encrypt.mixXor = bytesOf(set.mixed->enc.mixXorTables);
        out.decrypt.mix = bytesOf(set.mixed->dec.invMixTables);
        out.decrypt.mixXor = bytesOf(set.mixed->dec.invMixXorTables);
    }
    for (size_t m = 0; m < 16; ++m) {
        for (unsigned v = 0; v < 256; ++v) {
            out.encrypt.inputForward[m][v] = ecbCodings ? set.encIn().records[m].forward[v] : static_cast<uint8_t>(v);
            out.decrypt.inputForward[m][v] = ecbCodings ? set.decIn().records[m].forward[v] : static_cast<uint8_t>(v);
        }
    }
    return 0;
}

} // namespace

int32_t generateTables(int rounds, bool mixed, bool ecbCodings, uint32_t seed, GeneratedSet& out) {
    switch (rounds) {
    case 10: return generate<10>(mixed, ecbCodings, seed, out);
    case 12: return generate<12>(mixed, ecbCodings, seed, out);
    case 14: return generate<14>(mixed, ecbCodings, seed, out);
    default: return -1;
    }
}

} // namespace audittest
