// C array initialiser text for the three table block shapes. Values are written
// as "0x%x" (lower case, no padding); only line feeds, never carriage returns.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>

#include "wbgen/table_storage.h"

// Round tables. Writes one "." to progress per round slot, flushed at once so
// that it reaches the screen while the rest is rendered. Returns 0.
int32_t formatRoundTables(const RoundTableBlock& block, std::string& text,
                          std::ostream& progress = std::cout);
// XOR tables, with the same ten marks. The text alone ends with a line feed.
int32_t formatXorTables(const XorTableBlock& block, std::string& text,
                        std::ostream& progress = std::cout);
// The final-round or inverse first-round table. No progress marks, so its saving
// line reads "header file  success" with two blanks; kept on purpose, scripts
// parse those lines.
int32_t formatSingleRoundTable(const SingleTableBlock& block, std::string& text);
