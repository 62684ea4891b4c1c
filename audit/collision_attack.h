// A collision attack on the first table round of the mixed format, after the
// second attack of Lepoint, Rivain, De Mulder, Roelse and Preneel ("Two
// Attacks on a White-Box AES Implementation", SAC 2013), which exploits
// collisions on the outputs of the first round.
//
// When the first round takes the plain block, output byte 0 of a column is
// y(x_p, x_q) = Q(c_p S(x_p ^ k_p) ^ c_q S(x_q ^ k_q) ^ rest) with one unknown
// byte bijection Q. Two inputs collide, y(1, b') = y(0, b), exactly when
// S(b' ^ k_q) ^ S(b ^ k_q) = c_q^-1 c_p (S(k_p) ^ S(1 ^ k_p)), the same value
// for every b. So the 256 collisions of two rows of the table give a
// permutation b -> b' on which only the right k_q makes that sum constant: 2^8
// guesses per key byte, 512 evaluations of a column. Encryption gives round
// key 0, decryption round key 10 (the key added before the first inverse
// S-box). An external input coding breaks the relation, and the attack then
// finds no key byte. For AES-192 and AES-256 one round key is not enough: with
// the first round key known, the attacker sets the plain state entering the
// second table round through the block, and the same collisions there give
// its key (aes_network.h: blockForState); the two give the cipher key.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "audit/bge_attack.h"
#include "audit/key_claim.h"

// The cipher key from the first table round's collisions (and the second's, for
// a longer key), claimed (claimKey) only when the whole mixed network,
// evaluated without external codings, computes AES under it on the test blocks. Nothing otherwise; then *failure (when given)
// says why: no key byte or more than one fits (with the table round and
// column), or the key failed the check against the tables.
std::optional<ClaimedKey> collisionRecoverKey(const MixedDirectionTables& tables, Direction direction,
                                              std::string* failure = nullptr);

// Evaluates the mixed network on one block (already coded input in, coded
// output out), stage by stage as mixedColumnRound composes it, then the last
// byte tables.
void evaluateMixedNetwork(const MixedDirectionTables& tables, Direction direction, const uint8_t in[16],
                          uint8_t out[16]);
