// "/g:": generate both white-box table sets from the keys of a configuration
// script and save them into the six headers it names.
#pragma once
#include <cstdint>
#include <iostream>

// 0 when both sets were generated and all six headers written; 30 a required
// value is missing or empty; 16 an IOC file cannot be opened; 31 an IOC file is
// short; 32 an IOC file holds a record that is not a bijection; -2 malformed key
// text; -1 a header could not be saved.
int32_t generateTables(const char* scriptPath, std::ostream& out = std::cout);
