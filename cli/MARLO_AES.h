// "/test:": 100 passes comparing the table cipher with the reference AES-128,
// block by block and in CBC mode, with or without external codings.
//
// Flag bits (others ignored):
//   1  generate fresh codings and tables every pass (clear: read the coding
//      files from Tables/Auth/ and give the table cipher no tables)
//   2  use external codings around the table cipher
//   4  the codings are CBC-compliant triples (else ECB pairs)
//   8  with bit 1: also save both table sets as headers under Tables/Auth/
// Paths are relative to the current directory.
#pragma once
#include <cstdint>
#include <iostream>

#include "wbcipher/white_box_aes_cipher.h"

// Returns the status of the last pass's reference CBC decryption when it
// failed. Otherwise 0, or STATUS_SELF_TEST_FAILED (with a line on err) when a
// counter that the flags make meaningful is not 0: the block counters always,
// the CBC counters unless the flags select ECB codings (2 without 4), whose CBC
// comparisons fail by construction. The printed lines and the tally are the same
// either way.
int32_t runSelfTest(int32_t flags, std::ostream& out = std::cout, std::ostream& err = std::cerr);

// The same on a given table cipher, which must have no tables yet: tests plant
// faults through a class derived from WhiteBoxAesCipher.
int32_t runSelfTest(int32_t flags, WhiteBoxAesCipher& cipher, std::ostream& out, std::ostream& err);
