// C array initialiser text for the three table block shapes. Values are written
// as "0x%x" (lower case, no padding); only line feeds, never carriage returns.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>

#include "wbgen/table_storage.h"

// Round tables of `slots` round slots (10, 12 or 14: R of the key size). Writes
// one "." to progress per slot, flushed at once so that it reaches the screen
// while the rest is rendered. Returns 0.
int32_t formatRoundSlots(const RoundTableSlot* slots, int slotCount, std::string& text, std::ostream& progress);
// XOR tables of `slots` round slots, with one mark per slot as above. The text
// alone ends with a line feed.
int32_t formatXorSlots(const XorTableSlot* slots, int slotCount, std::string& text, std::ostream& progress);

// A whole round-table or XOR-table block of any key size.
template <std::size_t Slots>
int32_t formatRoundTables(const RoundTableSlot (&block)[Slots], std::string& text,
                          std::ostream& progress = std::cout) {
    return formatRoundSlots(block, static_cast<int>(Slots), text, progress);
}
template <std::size_t Slots>
int32_t formatXorTables(const XorTableSlot (&block)[Slots], std::string& text,
                        std::ostream& progress = std::cout) {
    return formatXorSlots(block, static_cast<int>(Slots), text, progress);
}
// The final-round or inverse first-round table. No progress marks, so its saving
// line reads "header file  success" with two blanks; kept on purpose, scripts
// parse those lines.
int32_t formatSingleRoundTable(const SingleTableBlock& block, std::string& text);
