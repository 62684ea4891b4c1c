// Structural key extraction from a network of nibble-coded AES tables, in the
// spirit of Billet, Gilbert and Ech-Chatbi (SAC 2004), simplified because the
// network has no mixing bijections:
//  1. Each chain of three XOR tables fixes its nibble codings up to one affine
//     map A shared along the chain (xor_chain.cpp); under the normalised
//     codings the chain computes plain XOR.
//  2. A round table's output byte b is then known as D_b·(m_b·y(x)) ^ const,
//     with y(x) the table's S-box output, m_b its MixColumns coefficient and
//     D_b = diag(A_hi, A_lo) nibble-wise. For one stage and output column the
//     four D_b^-1 (128 unknown bits) solve a homogeneous linear system over
//     GF(2): E_b·dz_b = (m_b / m_0)·E_0·dz_0 for the differences dz of every
//     table of that column. Its solution space is one-dimensional.
//  3. With the D's gone, every state byte is known up to an additive constant
//     delta, and a table holds y = box[s_hat ^ alpha] ^ rho. 256 guesses of
//     alpha give alpha and rho; summing the constants through the XOR chains
//     gives the next stage's delta, and delta with alpha gives the round key
//     bytes (encryption: K = alpha ^ delta; decryption: the key enters after
//     the inverse S-box and comes out of the constants through InvMixColumns).
//  4. Each complete round key (AES-192, AES-256: each consecutive pair) is run
//     back through the key schedule; all must give the same cipher key. With
//     that key the first-stage and last tables give the external input and
//     output codings byte for byte.
// Nothing here trusts the headers: every table is checked against the
// structure it must have, and a key is reported only after the tables,
// evaluated with the recovered codings, agree with the reference AES.
#include "audit/key_extraction.h"

#include <bit>
#include <cassert>
#include <memory>

#include "aesref/aes128.h"
#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_schedule.h"
#include "audit/xor_chain.h"

namespace {

using Bytes256 = std::array<uint8_t, 256>;

// 128 unknown bits: entry (i, l) of the 4x4 block for half h of E_b is bit
// 32·b + 16·h + 4·i + l.
struct Bits128 {
    uint64_t word[2] = {0, 0};
    void flip(unsigned bit) { word[bit >> 6] ^= uint64_t{1} << (bit & 63); }
    bool test(unsigned bit) const { return (word[bit >> 6] >> (bit & 63)) & 1u; }
    bool empty() const { return word[0] == 0 && word[1] == 0; }
    unsigned lowest() const {
        return word[0] != 0 ? static_cast<unsigned>(std::countr_zero(word[0]))
                            : 64u + static_cast<unsigned>(std::countr_zero(word[1]));
    }
    void add(const Bits128& o) {
        word[0] ^= o.word[0];
        word[1] ^= o.word[1];
    }
};

std::string keyHex(std::span<const uint8_t> key) { return hexText(key.data(), key.size()); }

// Rows reduced to distinct lowest set bits; the null space follows by back-substitution.
class LinearSystem {
public:
    void insert(Bits128 row) {
        while (!row.empty()) {
            const unsigned pivot = row.lowest();
            if (!has_[pivot]) {
                rows_[pivot] = row;
                has_[pivot] = true;
                ++rank_;
                return;
            }
            row.add(rows_[pivot]);
        }
    }
    unsigned rank() const { return rank_; }
    // The one non-zero solution when the null space has dimension 1.
    bool solution(Bits128& x) const {
        if (rank_ != 127) return false;
        x = Bits128{};
        for (unsigned bit = 0; bit < 128; ++bit) {
            if (!has_[bit]) x.flip(bit);
        }
        for (unsigned p = 128; p-- > 0;) {
            if (!has_[p]) continue;
            bool value = false;
            for (unsigned bit = p + 1; bit < 128; ++bit) {
                if (rows_[p].test(bit) && x.test(bit)) value = !value;
            }
            if (value != x.test(p)) x.flip(p);
        }
        return true;
    }

private:
    Bits128 rows_[128];
    bool has_[128] = {};
    unsigned rank_ = 0;
};

unsigned bitOf(unsigned v, unsigned i) { return (v >> i) & 1u; }

// Adds E_b·v (bit p of it) to row: sum over l of E_b[h][i][l]·v[4h + l].
void addProduct(Bits128& row, int b, unsigned p, unsigned v) {
    const unsigned h = p >> 2;
    const unsigned i = p & 3;
    for (unsigned l = 0; l < 4; ++l) {
        if (bitOf(v, 4 * h + l)) row.flip(static_cast<unsigned>(32 * b) + 16 * h + 4 * i + l);
    }
}

struct Table {
    Bytes256 yPrime{};             // y(x) ^ rho, from output byte 0
    std::array<uint8_t, 4> epsilon{}; // w_b(x) ^ m_b·y'(x), constant in x
    bool searched = false;         // alpha found
    uint8_t alpha = 0;
    uint8_t rho = 0;
};

struct StageColumn {
    bool chainsOk = false;
    std::array<std::array<NormalisedChain, 2>, 4> chain{}; // [output row b][lane h]
    bool linearOk = false;
    std::array<Bytes256, 4> decode{}; // E_b as a byte table
    bool tablesOk = false;
    std::array<Table, 4> table{}; // [row q]
    bool summed = false;          // all four alphas found: sum below is known
    std::array<uint8_t, 4> sum{}; // T[b] = XOR over q of eps_b ^ m_b·rho_q
};

uint8_t normalisedByte(const StageColumn& sc, int b, int q, uint8_t z) {
    return static_cast<uint8_t>((sc.chain[b][1].input[q][z >> 4] << 4) | sc.chain[b][0].input[q][z & 15]);
}

class Extraction {
public:
    Extraction(const DirectionTables& tables, Direction direction)
        : t_(tables), d_(direction), box_(direction == Direction::Encrypt ? aesSbox : aesInvSbox),
          R_(tables.rounds), T_(tableRounds(tables)) {
        // The reader gives 10, 12 or 14 rounds and blocks of that size.
        assert(isAuditRoundCount(R_) && t_.round.size() == roundTableBytes(R_) && t_.xors.size() == xorTableBytes(R_));
    }

    DirectionAudit run();

private:
    void normaliseChains(int t, int c);
    void solveColumn(int t, int c);
    void readTables(int t, int c);
    bool stateDecoder(int t, int row, int col, Bytes256& sHat) const;
    bool searchOffset(const Bytes256& sHat, const Bytes256& value, uint8_t& alpha, uint8_t& constant) const;
    void searchStage(int t, int c);
    void searchLast();
    void collectRoundKeys();
    bool recoverCodings(const RoundKeys& keys, DirectionAudit& result) const;
    std::optional<ClaimedKey> claim(const CipherKey& key, DirectionAudit& codings) const;
    std::string firstStructuralFailure() const;

    const DirectionTables& t_;
    Direction d_;
    const uint8_t* box_;
    const int R_; // rounds of the key
    const int T_; // table rounds, R - 1
    // Sized for AES-256 (R = 14); the first T_ stages are used.
    StageColumn stages_[13][4];
    // Per stage 0..T (T: the last table's input) and state byte [row][column]:
    bool alphaKnown_[14][4][4] = {};
    uint8_t alpha_[14][4][4] = {};
    bool lastKnown_[4][4] = {}; // last table: plain-output hypothesis held
    uint8_t lastConstant_[4][4] = {};
    bool keyKnown_[15][4][4] = {};
    uint8_t roundKey_[15][4][4] = {};
};

void Extraction::normaliseChains(int t, int c) {
    StageColumn& sc = stages_[t][c];
    const int slot = stageSlot(d_, t, R_);
    for (int b = 0; b < 4; ++b) {
        for (int h = 0; h < 2; ++h) {
            const uint8_t* chainTables[3];
            for (int q = 0; q < 3; ++q) chainTables[q] = xorTable(t_, slot, c, 6 * b + 2 * q + h);
            if (!normaliseChain(chainTables, sc.chain[b][h])) return;
        }
    }
    sc.chainsOk = true;
}

void Extraction::solveColumn(int t, int c) {
    StageColumn& sc = stages_[t][c];
    if (!sc.chainsOk) return;
    const int slot = stageSlot(d_, t, R_);
    LinearSystem system;
    // Equations from x = 1, 2, ... until the rank says the solution is unique;
    // the solution is checked on every entry afterwards (readTables).
    for (unsigned x = 1; x < 256 && system.rank() < 127; ++x) {
        for (int q = 0; q < 4 && system.rank() < 127; ++q) {
            const int j = feedingColumn(d_, q, c);
            uint8_t dz[4];
            for (int b = 0; b < 4; ++b) {
                dz[b] = static_cast<uint8_t>(normalisedByte(sc, b, q, roundEntry(t_, slot, j, q, x, b)) ^
                                             normalisedByte(sc, b, q, roundEntry(t_, slot, j, q, 0, b)));
            }
            for (int b = 1; b < 4; ++b) {
                const uint8_t ratio = gfMultiply(mixCoefficient(d_, b, q), gfInverse(mixCoefficient(d_, 0, q)));
                for (unsigned p = 0; p < 8; ++p) {
                    Bits128 row;
                    addProduct(row, b, p, dz[b]);
                    // bit p of ratio·(E_0·dz_0) = sum over p' of M[p][p']·(E_0·dz_0)[p']
                    for (unsigned pp = 0; pp < 8; ++pp) {
                        if (bitOf(gfMultiply(ratio, static_cast<uint8_t>(1u << pp)), p)) {
                            addProduct(row, 0, pp, dz[0]);
                        }
                    }
                    system.insert(row);
                }
            }
        }
    }
    Bits128 solution;
    if (!system.solution(solution)) return;
    for (int b = 0; b < 4; ++b) {
        unsigned seen[8] = {};
        for (unsigned v = 0; v < 256; ++v) {
            unsigned out = 0;
            for (unsigned p = 0; p < 8; ++p) {
                const unsigned h = p >> 2;
                const unsigned i = p & 3;
                unsigned bit = 0;
                for (unsigned l = 0; l < 4; ++l) {
                    bit ^= solution.test(static_cast<unsigned>(32 * b) + 16 * h + 4 * i + l) & bitOf(v, 4 * h + l);
                }
                out |= bit << p;
            }
            sc.decode[b][v] = static_cast<uint8_t>(out);
            seen[out >> 5] |= 1u << (out & 31);
        }
        for (unsigned w : seen) {
            if (w != 0xFFFFFFFFu) return; // E_b not invertible
        }
    }
    sc.linearOk = true;
}

void Extraction::readTables(int t, int c) {
    StageColumn& sc = stages_[t][c];
    if (!sc.linearOk) return;
    const int slot = stageSlot(d_, t, R_);
    for (int q = 0; q < 4; ++q) {
        const int j = feedingColumn(d_, q, c);
        Table& table = sc.table[q];
        const uint8_t toY = gfInverse(mixCoefficient(d_, 0, q));
        for (unsigned x = 0; x < 256; ++x) {
            uint8_t w[4];
            for (int b = 0; b < 4; ++b) w[b] = sc.decode[b][normalisedByte(sc, b, q, roundEntry(t_, slot, j, q, x, b))];
            table.yPrime[x] = gfMultiply(toY, w[0]);
            for (int b = 0; b < 4; ++b) {
                const uint8_t epsilon = static_cast<uint8_t>(w[b] ^ gfMultiply(mixCoefficient(d_, b, q), table.yPrime[x]));
                if (x == 0) table.epsilon[static_cast<size_t>(b)] = epsilon;
                else if (table.epsilon[static_cast<size_t>(b)] != epsilon) return;
            }
        }
    }
    sc.tablesOk = true;
}

// s_hat(x) for the state byte (row, col) entering stage t: the plain byte at
// stage 0 (the plain-input hypothesis), else the previous stage's chain output
// under its normalised coding and its E.
bool Extraction::stateDecoder(int t, int row, int col, Bytes256& sHat) const {
    if (t == 0) {
        for (unsigned x = 0; x < 256; ++x) sHat[x] = static_cast<uint8_t>(x);
        return true;
    }
    const StageColumn& prev = stages_[t - 1][col];
    if (!prev.linearOk) return false;
    const NormalisedChain& hi = prev.chain[row][1];
    const NormalisedChain& lo = prev.chain[row][0];
    for (unsigned x = 0; x < 256; ++x) {
        sHat[x] = prev.decode[row][static_cast<uint8_t>((hi.output[x >> 4] << 4) | lo.output[x & 15])];
    }
    return true;
}

// The one alpha for which value(x) ^ box[s_hat(x) ^ alpha] is constant.
bool Extraction::searchOffset(const Bytes256& sHat, const Bytes256& value, uint8_t& alpha,
                              uint8_t& constant) const {
    int found = 0;
    for (unsigned guess = 0; guess < 256; ++guess) {
        const uint8_t first = static_cast<uint8_t>(value[0] ^ box_[sHat[0] ^ guess]);
        bool constantSum = true;
        for (unsigned x = 1; x < 256 && constantSum; ++x) {
            constantSum = static_cast<uint8_t>(value[x] ^ box_[sHat[x] ^ guess]) == first;
        }
        if (constantSum) {
            alpha = static_cast<uint8_t>(guess);
            constant = first;
            ++found;
        }
    }
    return found == 1;
}

void Extraction::searchStage(int t, int c) {
    StageColumn& sc = stages_[t][c];
    if (!sc.tablesOk) return;
    bool all = true;
    for (int q = 0; q < 4; ++q) {
        const int j = feedingColumn(d_, q, c);
        Table& table = sc.table[q];
        Bytes256 sHat;
        if (!stateDecoder(t, q, j, sHat) || !searchOffset(sHat, table.yPrime, table.alpha, table.rho)) {
            all = false;
            continue;
        }
        table.searched = true;
        alphaKnown_[t][q][j] = true;
        alpha_[t][q][j] = table.alpha;
    }
    if (!all) return;
    for (int b = 0; b < 4; ++b) {
        uint8_t sum = 0;
        for (int q = 0; q < 4; ++q) {
            sum ^= static_cast<uint8_t>(sc.table[q].epsilon[static_cast<size_t>(b)] ^
                                        gfMultiply(mixCoefficient(d_, b, q), sc.table[q].rho));
        }
        sc.sum[static_cast<size_t>(b)] = sum;
    }
    sc.summed = true;
}

// The last table under the plain-output hypothesis: value = box[s_hat ^ alpha] ^ constant.
void Extraction::searchLast() {
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            Bytes256 sHat;
            Bytes256 value;
            if (!stateDecoder(T_, k, j, sHat)) continue;
            for (unsigned x = 0; x < 256; ++x) value[x] = lastEntry(t_, j, k, x);
            uint8_t alpha = 0;
            uint8_t constant = 0;
            if (!searchOffset(sHat, value, alpha, constant)) continue;
            alphaKnown_[T_][k][j] = true;
            alpha_[T_][k][j] = alpha;
            lastKnown_[k][j] = true;
            lastConstant_[k][j] = constant;
        }
    }
}

void Extraction::collectRoundKeys() {
    auto setKey = [this](int round, int row, int col, uint8_t value) {
        keyKnown_[round][row][col] = true;
        roundKey_[round][row][col] = value;
    };
    // delta[t][row][col]: the offset of s_hat at stage t (T: the last table's input).
    bool deltaKnown[14][4][4] = {};
    uint8_t delta[14][4][4] = {};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) deltaKnown[0][row][col] = true; // s_hat = s at stage 0
    }
    for (int t = 0; t < T_; ++t) {
        for (int c = 0; c < 4; ++c) {
            if (!stages_[t][c].summed || d_ != Direction::Encrypt) continue;
            for (int b = 0; b < 4; ++b) {
                deltaKnown[t + 1][b][c] = true;
                delta[t + 1][b][c] = stages_[t][c].sum[static_cast<size_t>(b)];
            }
        }
    }
    if (d_ == Direction::Decrypt) {
        for (int t = 1; t <= T_; ++t) {
            for (int row = 0; row < 4; ++row) {
                for (int col = 0; col < 4; ++col) {
                    deltaKnown[t][row][col] = alphaKnown_[t][row][col];
                    delta[t][row][col] = alpha_[t][row][col];
                }
            }
        }
    }
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            if (d_ == Direction::Encrypt) {
                // Stage t's table reads s ^ K_t = s_hat ^ alpha: K_t = alpha ^ delta_t.
                for (int t = 0; t <= T_; ++t) {
                    if (alphaKnown_[t][row][col] && deltaKnown[t][row][col]) {
                        setKey(t, row, col, static_cast<uint8_t>(alpha_[t][row][col] ^ delta[t][row][col]));
                    }
                }
                if (lastKnown_[row][col]) setKey(R_, row, fedColumn(d_, row, col), lastConstant_[row][col]);
            } else {
                if (alphaKnown_[0][row][col]) setKey(R_, row, col, alpha_[0][row][col]);
                if (lastKnown_[row][col]) setKey(0, row, fedColumn(d_, row, col), lastConstant_[row][col]);
            }
        }
    }
    if (d_ != Direction::Decrypt) return;
    // Decryption: the sum of a column's constants is delta_{t+1} ^ InvMixColumns(K_i column).
    for (int t = 0; t < T_; ++t) {
        for (int c = 0; c < 4; ++c) {
            if (!stages_[t][c].summed) continue;
            uint8_t v[4];
            bool known = true;
            for (int b = 0; b < 4; ++b) {
                known = known && deltaKnown[t + 1][b][c];
                v[b] = static_cast<uint8_t>(delta[t + 1][b][c] ^ stages_[t][c].sum[static_cast<size_t>(b)]);
            }
            if (!known) continue;
            for (int row = 0; row < 4; ++row) {
                uint8_t key = 0;
                for (int b = 0; b < 4; ++b) key ^= gfMultiply(unmixCoefficient(d_, row, b), v[b]);
                setKey(T_ - t, row, c, key);
            }
        }
    }
}

bool isPermutation(const Bytes256& table) {
    std::array<bool, 256> seen{};
    for (uint8_t v : table) {
        if (seen[v]) return false;
        seen[v] = true;
    }
    return true;
}

// Input coding from the first stage's tables, output coding from the last
// table, with every round key known.
bool Extraction::recoverCodings(const RoundKeys& keys, DirectionAudit& result) const {
    const bool encrypt = d_ == Direction::Encrypt;
    // delta_1 (the offset entering stage 1) and delta_T (entering the last table).
    const size_t last = static_cast<size_t>(R_);
    auto delta = [&](int t, int row, int col, uint8_t& out) {
        if (t == T_ && encrypt) {
            const StageColumn& sc = stages_[T_ - 1][col];
            if (!sc.summed) return false;
            out = sc.sum[static_cast<size_t>(row)];
            return true;
        }
        if (t == T_) { // the sum less InvMixColumns of K_1's column
            const StageColumn& sc = stages_[T_ - 1][col];
            if (!sc.summed) return false;
            uint8_t mixed = 0;
            for (int k = 0; k < 4; ++k) mixed ^= gfMultiply(mixCoefficient(d_, row, k), keys[1][k][col]);
            out = static_cast<uint8_t>(sc.sum[static_cast<size_t>(row)] ^ mixed);
            return true;
        }
        if (!alphaKnown_[t][row][col]) return false;
        out = encrypt ? static_cast<uint8_t>(alpha_[t][row][col] ^ keys[static_cast<size_t>(t)][row][col])
                      : alpha_[t][row][col];
        return true;
    };
    for (int c = 0; c < 4; ++c) {
        const StageColumn& sc = stages_[0][c];
        if (!sc.tablesOk) return false;
        // sum over q of m_bq·rho_q = delta_1[b][c] ^ sum over q of eps_bq
        uint8_t v[4];
        for (int b = 0; b < 4; ++b) {
            if (!delta(1, b, c, v[b])) return false;
            for (int q = 0; q < 4; ++q) v[b] ^= sc.table[q].epsilon[static_cast<size_t>(b)];
        }
        for (int q = 0; q < 4; ++q) {
            uint8_t rho = 0;
            for (int b = 0; b < 4; ++b) rho ^= gfMultiply(unmixCoefficient(d_, q, b), v[b]);
            const int j = feedingColumn(d_, q, c);
            Bytes256 forward{};
            Bytes256 plainOf{};
            for (unsigned x = 0; x < 256; ++x) {
                const uint8_t y = static_cast<uint8_t>(sc.table[q].yPrime[x] ^ rho);
                plainOf[x] = encrypt ? static_cast<uint8_t>(aesInvSbox[y] ^ keys[0][q][j])
                                     : static_cast<uint8_t>(aesSbox[y ^ keys[last - 1][q][c]] ^ keys[last][q][j]);
                forward[plainOf[x]] = static_cast<uint8_t>(x);
            }
            if (!isPermutation(plainOf)) return false;
            result.inputCoding[static_cast<size_t>(4 * q + j)] = forward;
        }
    }
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            Bytes256 sHat;
            uint8_t offset = 0;
            if (!stateDecoder(T_, k, j, sHat) || !delta(T_, k, j, offset)) return false;
            const int c = fedColumn(d_, k, j);
            Bytes256 forward{};
            Bytes256 plainOf{};
            for (unsigned x = 0; x < 256; ++x) {
                const uint8_t s = static_cast<uint8_t>(sHat[x] ^ offset);
                plainOf[x] = encrypt ? static_cast<uint8_t>(aesSbox[s ^ keys[last - 1][k][j]] ^ keys[last][k][c])
                                     : static_cast<uint8_t>(aesInvSbox[s] ^ keys[0][k][c]);
                forward[plainOf[x]] = lastEntry(t_, j, k, x);
            }
            if (!isPermutation(plainOf)) return false;
            result.outputCoding[static_cast<size_t>(4 * k + c)] = forward;
        }
    }
    return true;
}

// The key, claimed when the tables, with the codings recovered under it
// around them, compute AES under it (identity codings when none fit).
std::optional<ClaimedKey> Extraction::claim(const CipherKey& key, DirectionAudit& codings) const {
    for (size_t m = 0; m < 16; ++m) {
        for (unsigned v = 0; v < 256; ++v) {
            codings.inputCoding[m][v] = static_cast<uint8_t>(v);
            codings.outputCoding[m][v] = static_cast<uint8_t>(v);
        }
    }
    codings.codingsRecovered = false;
    DirectionAudit recovered = codings;
    if (recoverCodings(expandKey(key), recovered)) {
        codings.codingsRecovered = true;
        codings.inputCoding = recovered.inputCoding;
        codings.outputCoding = recovered.outputCoding;
    }
    return claimKey(d_, key, [this, &codings](const uint8_t plain[16], const uint8_t expected[16]) {
        uint8_t coded[16];
        uint8_t out[16];
        for (int i = 0; i < 16; ++i) {
            coded[i] = codings.inputCoding[static_cast<size_t>(4 * (i % 4) + i / 4)][plain[i]];
        }
        evaluateNetwork(t_, d_, coded, out);
        for (int i = 0; i < 16; ++i) {
            if (codings.outputCoding[static_cast<size_t>(4 * (i % 4) + i / 4)][expected[i]] != out[i]) return false;
        }
        return true;
    });
}

// The shortcut's three steps per table round and column: the XOR chains give
// their nibble codings up to an affine map; one block-diagonal (nibble by
// nibble) linear decoding fits all four round tables of the column; the decoded
// tables have the shape of an S-box behind a MixColumns share.
std::string Extraction::firstStructuralFailure() const {
    for (int t = 0; t < T_; ++t) {
        for (int c = 0; c < 4; ++c) {
            const StageColumn& sc = stages_[t][c];
            const std::string where = "table round " + std::to_string(t) + ", column " + std::to_string(c);
            if (!sc.chainsOk) return "the XOR tables of " + where + " are no chains of nibble XORs";
            if (!sc.linearOk) return "block-diagonal shortcut failed: no nibble-wise linear decoding fits " + where;
            if (!sc.tablesOk) return "block-diagonal shortcut failed: the decoded tables of " + where +
                                     " are no MixColumns shares";
        }
    }
    return "";
}

DirectionAudit Extraction::run() {
    DirectionAudit result;
    result.rounds = R_;
    for (int t = 0; t < T_; ++t) {
        for (int c = 0; c < 4; ++c) {
            normaliseChains(t, c);
            solveColumn(t, c);
            readTables(t, c);
        }
    }
    for (int t = 0; t < T_; ++t) {
        for (int c = 0; c < 4; ++c) searchStage(t, c);
    }
    searchLast();
    collectRoundKeys();
    result.structuralFailure = firstStructuralFailure();

    // AES-128: every complete round key gives the cipher key. A longer key
    // needs two consecutive ones (round r and r + 1); a round key is listed
    // when it was part of such a pair.
    bool agree = true;
    bool anyKey = false;
    CipherKey structural;
    std::vector<RoundKey> roundKeys(static_cast<size_t>(R_ + 1));
    std::vector<bool> complete(static_cast<size_t>(R_ + 1), true);
    for (int r = 0; r <= R_; ++r) {
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 4; ++col) {
                complete[static_cast<size_t>(r)] = complete[static_cast<size_t>(r)] && keyKnown_[r][row][col];
                roundKeys[static_cast<size_t>(r)][static_cast<size_t>(row)][static_cast<size_t>(col)] = roundKey_[r][row][col];
            }
        }
    }
    auto agreeOn = [&](const std::optional<CipherKey>& key) {
        if (!key || (anyKey && *key != structural)) agree = false;
        if (key) structural = *key;
        anyKey = true;
    };
    for (int r = 0; r <= R_; ++r) {
        const size_t at = static_cast<size_t>(r);
        if (!complete[at]) continue;
        if (R_ == 10) {
            const std::array<uint8_t, 16> key = cipherKeyFromRoundKey(roundKeys[at], r);
            agreeOn(CipherKey(key.begin(), key.end()));
            result.structuralRounds.push_back(r);
            continue;
        }
        const bool before = r > 0 && complete[at - 1];
        const bool after = r < R_ && complete[at + 1];
        if (after) agreeOn(cipherKeyFromRoundKeys(roundKeys[at], roundKeys[at + 1], r, R_));
        if (before || after) result.structuralRounds.push_back(r);
    }
    const bool structuralFound = anyKey && agree;
    CipherKey partition;
    const bool partitionFound = partitionAttack(t_, d_, partition);

    // Each attack's key is claimed on its own; the codings are those of the
    // structural key, else of the partition key.
    DirectionAudit partitionCodings;
    if (partitionFound && !(structuralFound && partition == structural)) {
        result.partitionKey = claim(partition, partitionCodings);
        if (!result.partitionKey) result.partitionFailure = "key " + keyHex(partition) + " failed the check against the tables";
    }
    if (structuralFound) {
        result.structuralKey = claim(structural, result);
        if (!result.structuralKey) {
            result.structuralFailure = "key " + keyHex(structural) + " failed the check against the tables";
        }
        if (partitionFound && partition == structural) {
            result.partitionKey = result.structuralKey;
            if (!result.partitionKey) result.partitionFailure = result.structuralFailure;
        }
    } else if (anyKey) {
        result.structuralFailure = "round keys disagree";
    }
    if (!result.structuralKey && result.partitionKey) {
        result.codingsRecovered = partitionCodings.codingsRecovered;
        result.inputCoding = partitionCodings.inputCoding;
        result.outputCoding = partitionCodings.outputCoding;
    }
    if (!result.structuralKey) result.structuralRounds.clear();

    if (!agree) {
        result.reason = "round keys disagree";
        return result;
    }
    if (structuralFound && partitionFound && structural != partition) {
        result.reason = "attacks disagree: " + keyHex(structural) + " and " + keyHex(partition);
        return result;
    }
    if (!structuralFound && !partitionFound) {
        result.reason = "no attack found a key";
        return result;
    }
    result.key = structuralFound ? result.structuralKey : result.partitionKey;
    if (!result.key) {
        result.reason = "key " + keyHex(structuralFound ? structural : partition) + " failed the check against the tables";
        return result;
    }
    for (size_t m = 0; m < 16; ++m) {
        for (unsigned v = 0; v < 256; ++v) {
            result.inputCoded = result.inputCoded || result.inputCoding[m][v] != v;
            result.outputCoded = result.outputCoded || result.outputCoding[m][v] != v;
        }
    }
    return result;
}

} // namespace

DirectionAudit auditDirection(const DirectionTables& tables, Direction direction) {
    // About 100 kB of working state: on the heap, not the stack.
    const auto extraction = std::make_unique<Extraction>(tables, direction);
    return extraction->run();
}
