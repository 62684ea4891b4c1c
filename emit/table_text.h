// C array initialiser text for the three table block shapes. Values are written
// as "0x%x" (lower case, no padding); only line feeds, never carriage returns.
#pragma once
#include <cstdint>
#include <iostream>
#include <string>

// 10 x 4 x 4 x 256 x 4 bytes. Writes one "." (flushed) to progress per outer element.
int32_t formatRoundTables(const uint8_t* block, std::string& text, std::ostream& progress = std::cout);
// 10 x 4 x 24 x 256 bytes. Ten "." marks. The text alone ends with a line feed.
int32_t formatXorTables(const uint8_t* block, std::string& text, std::ostream& progress = std::cout);
// 4 x 4 x 256 bytes. No progress marks.
int32_t formatSingleRoundTable(const uint8_t* block, std::string& text);
