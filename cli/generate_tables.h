// "/g:": generate both white-box table sets from the keys of a
// script and save them into the six headers it names (ten with
// [TABLES] format = mixed, the mixed format; see cli/table_format.h).
#pragma once
#include <cstdint>
#include <iostream>

// STATUS_OK when both sets were generated and all six headers written;
// STATUS_MISSING_VALUE a required value is missing, empty or malformed (a bad
// format included);
// STATUS_SAME_FILE one file in two roles; STATUS_OPEN_FAILED an IOC file cannot be
// opened; STATUS_SHORT_READ an IOC file is short; STATUS_INVALID_CODING an IOC
// file holds a record that is not a bijection; STATUS_BAD_KEY_TEXT malformed key
// text (a key with more than 32 hex digits is refused before anything is
// generated); STATUS_SAVE_FAILED a header could not be saved. Failures whose
// output names no cause write their reason to err (cli/failure_reasons.h).
int32_t generateTables(const char* scriptPath, std::ostream& out = std::cout, std::ostream& err = std::cerr);
