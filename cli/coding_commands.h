// "/ecbioc:" and "/cbcioc:": generate external coding files for the paths named
// in the IOC_FILES section of a script.
#pragma once
#include <cstdint>
#include <iostream>

// Writes one IOC file per direction with independent ECB codings. STATUS_OK;
// STATUS_MISSING_VALUE a path is missing; STATUS_SAME_FILE two paths name one
// file; STATUS_OPEN_FAILED a file cannot be opened; STATUS_WRITE_FAILED a file
// cannot be written, synced or renamed completely. A missing path or script is
// named on err (cli/failure_reasons.h).
int32_t generateEcbCodings(const char* scriptPath, std::ostream& out = std::cout,
                           std::ostream& err = std::cerr);
// Writes one IOC file and one CBC IOC data file per direction with CBC-compliant
// triples. As above, and STATUS_CBC_CODING_FAILED when a coding record could not
// be generated.
int32_t generateCbcCodings(const char* scriptPath, std::ostream& out = std::cout,
                           std::ostream& err = std::cerr);
