// Raw coding files shared by the IOC file and the CBC IOC data file: whole
// CodingSets back to back, no header, no checksum. Internal to coding/.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "coding/codings.h"

// Reads count sets of 8,192 bytes in turn ("rb"). 16 when the file cannot be
// opened, 31 at the first read that delivers fewer bytes (what arrived stays).
int32_t readCodingSets(const std::string& path, CodingSet* const sets[], size_t count);
// Writes count sets in turn ("wb", truncating). 16 when the file cannot be opened,
// 17 when a write comes up short or the close (which flushes) fails.
int32_t writeCodingSets(const std::string& path, const CodingSet* const sets[], size_t count);
