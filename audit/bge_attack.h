// The first step of the BGE attack (Billet, Gilbert and Ech-Chatbi, "Cryptanalysis
// of a White Box AES Implementation", SAC 2004) on tables with mixing bijections:
// recovering the non-linear part of every byte encoding between two rounds.
//
// An encoded AES round column maps four encoded input bytes x_i = P_i(s_i) to
// four encoded output bytes y_j = Q_j(u_j), u = MixColumns(SubBytes(s ^ k)),
// with unknown byte bijections P_i and Q_j (in the mixed format: nibble codings
// after the 8x8 mixing). With x_2, x_3 fixed, every y_j(., x_1) is
// Q_j(c * S(P_0^-1(.) ^ k_0) ^ beta(x_1)), so the maps
// y_j(., x_1) o y_j(., x_1')^-1 = Q_j o (xor beta) o Q_j^-1 form a group
// isomorphic to GF(2)^8 that acts regularly on the 256 byte values; naming each
// value by the coordinates of the group element that reaches it gives a decoder
// D_j with D_j o Q_j affine.
//
// Step 2 removes the linear parts of those affine maps up to one field
// multiplication per column, from the known MixColumns coefficients.
//
// Step 3: with the inputs of a round decoded up to that multiplication, a
// search over the multiplication and the S-box input offset of every byte
// (2^16 candidates) makes the S-box inputs plain (encryption: up to the round
// key); the constants of the previous round's outputs then give the round key
// (decryption: the key added after the inverse S-box, through MixColumns).
//
// The improved form (after Lepoint, Rivain, De Mulder, Roelse and Preneel,
// "Two Attacks on a White-Box AES Implementation", SAC 2013, which bring the
// attack's work factor down from 2^30 to 2^22) changes the costly steps, not
// what they find: step 1 builds the group from eight generators, stopping
// at the first values of x_1 that give them, instead of all 256 maps (256
// evaluations of a column per value of x_1); step 3 locates the S-box input offset from the
// differences of the inversion inside the S-box and searches only the
// multiplication (2^8 candidates per byte instead of 2^16).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audit/key_claim.h"
#include "audit/table_headers.h"

// One column of an encoded round: four encoded input bytes to four encoded output
// bytes, as an attacker evaluates it by composing the tables.
using ColumnRound = std::function<void(const uint8_t in[4], uint8_t out[4])>;

using ByteTable = std::array<uint8_t, 256>;

// Which form of steps 1 and 3 runs: the plain one of 2004 or the improved one.
enum class BgeForm { Plain, Improved };

// For every output byte j, fills decoders[j] such that decoders[j] o Q_j is
// affine over GF(2)^8. False, decoders unspecified, when the column is not of the
// form above (a y_j(., x_1) that is no bijection, or maps that form no such group).
bool recoverNonlinearParts(const ColumnRound& round, std::array<ByteTable, 4>& decoders,
                           BgeForm form = BgeForm::Plain);

// Step 2: decoders[j] from step 1 are refined so that decoders[j] o Q_j is
// z -> delta * z ^ e_j (multiplication in GF(2^8)) with one unknown delta != 0
// for the whole column and unknown constants e_j. mix(b, q) is the column's
// matrix: MixColumns for an encryption round, InvMixColumns for decryption.
// False when no consistent linear parts exist.
bool recoverLinearParts(const ColumnRound& round, Direction direction, std::array<ByteTable, 4>& decoders,
                        BgeForm form = BgeForm::Plain);

// The mixed format's tables of one direction, as read from its headers.
struct MixedDirectionTables {
    const DirectionTables& classic;    // round, XOR and last tables
    const std::vector<uint8_t>& mix;    // [R][4][4][256][4], R = classic.rounds
    const std::vector<uint8_t>& mixXor; // [R][4][24][256]
};

// Stage t (0..R-2) of the mixed network, column c, as the attacks evaluate it:
// round, XOR, mix and mix XOR tables composed. Input byte q is the state byte
// of row q that feeds column c (ShiftRows or InvShiftRows); output byte b is
// row b of column c. The function refers to tables, which must outlive it.
ColumnRound mixedColumnRound(const MixedDirectionTables& tables, Direction direction, int t, int c);

// Steps 1 to 3 on one direction's tables of the mixed format: round keys 2 to
// R - 2 and the cipher key they all agree on (AES-128: each alone; a longer key:
// each consecutive pair), claimed (claimKeyOnRounds) only when table stages 1
// to R - 3, between the byte encodings the attack recovered, compute rounds 2
// to R - 2 of AES under it on the test blocks. Nothing when a
// step fails, the round keys disagree or the check fails; then *failure (when
// given) names the step and the table round and column where it failed,
// "round keys disagree" or "key KEY failed the check against the tables".
std::optional<ClaimedKey> bgeRecoverKey(const MixedDirectionTables& tables, Direction direction,
                                        BgeForm form = BgeForm::Plain, std::string* failure = nullptr);
