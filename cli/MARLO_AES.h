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

// Returns the status of the last pass's reference CBC decryption (0 when it
// succeeded); test failures are reported and counted, not returned.
int32_t runSelfTest(int32_t flags, std::ostream& out = std::cout);
