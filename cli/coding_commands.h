// "/ecbioc:" and "/cbcioc:": generate external coding files for the paths named
// in the IOC_FILES section of a configuration script.
#pragma once
#include <cstdint>
#include <iostream>

// Writes one IOC file per direction with independent ECB codings. 0; 30 a path
// is missing; 16 a file cannot be opened; 17 a file cannot be written completely.
int32_t generateEcbCodings(const char* scriptPath, std::ostream& out = std::cout);
// Writes one IOC file and one CBC IOC data file per direction with CBC-compliant
// triples. As above, and 28 when a coding record could not be generated.
int32_t generateCbcCodings(const char* scriptPath, std::ostream& out = std::cout);
