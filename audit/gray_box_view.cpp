// Views of the gray-box attacks and their claim check (see gray_box_view.h).
#include "audit/gray_box_view.h"

#include <algorithm>

#include "audit/aes_network.h"
#include "base/secret_file.h"
#include "base/status.h"

namespace {

// Record m = 4·row + column of the state byte at block byte i = 4·column + row.
size_t recordOf(int i) { return static_cast<size_t>(4 * (i % 4) + i / 4); }

} // namespace

int32_t readExternalCodings(const std::string& path, ExternalCodings& codings, std::string& error) {
    std::string bytes;
    if (readRegularFile(path, bytes, 16384) != FileResult::ok) {
        error = "cannot read " + path;
        return STATUS_OPEN_FAILED;
    }
    if (bytes.size() < 16384) {
        error = path + " holds " + std::to_string(bytes.size()) + " of 16384 bytes";
        return STATUS_SHORT_READ;
    }
    for (size_t m = 0; m < 16; ++m) {
        std::array<bool, 256> seen{};
        for (unsigned v = 0; v < 256; ++v) {
            codings.input[m][v] = static_cast<uint8_t>(bytes[512 * m + v]);
            const uint8_t coded = static_cast<uint8_t>(bytes[8192 + 512 * m + v]);
            codings.outputInverse[m][coded] = static_cast<uint8_t>(v);
            seen[coded] = true;
        }
        std::array<bool, 256> seenInput{};
        for (unsigned v = 0; v < 256; ++v) seenInput[codings.input[m][v]] = true;
        if (std::find(seen.begin(), seen.end(), false) != seen.end() ||
            std::find(seenInput.begin(), seenInput.end(), false) != seenInput.end()) {
            error = path + ": coding record " + std::to_string(m) + " is no bijection";
            return STATUS_INVALID_CODING;
        }
    }
    return STATUS_OK;
}

void codeInput(const ExternalCodings* codings, const uint8_t plain[16], uint8_t coded[16]) {
    for (int i = 0; i < 16; ++i) coded[i] = codings != nullptr ? codings->input[recordOf(i)][plain[i]] : plain[i];
}

void decodeOutput(const ExternalCodings* codings, const uint8_t coded[16], uint8_t plain[16]) {
    for (int i = 0; i < 16; ++i) {
        plain[i] = codings != nullptr ? codings->outputInverse[recordOf(i)][coded[i]] : coded[i];
    }
}

std::optional<ClaimedKey> claimGrayBoxKey(const NetworkTables& tables, Direction direction,
                                          const ExternalCodings* codings, std::span<const uint8_t> key) {
    return claimKey(direction, key, [&](const uint8_t block[16], const uint8_t expected[16]) {
        uint8_t coded[16];
        uint8_t out[16];
        uint8_t plain[16];
        codeInput(codings, block, coded);
        evaluateTraced(tables, direction, coded, out);
        decodeOutput(codings, out, plain);
        return std::equal(plain, plain + 16, expected);
    });
}
