// Table text: renders a block of table bytes as the initialiser of a C array,
// " = {" through the last closing brace, in storage order (last index fastest).
//
// Every byte is written on its own as printf's "0x%x" would write it; round-table
// entries are their four bytes inside one innermost brace pair. Line breaks:
// two round-table entries per line; sixteen values per line in the XOR and
// single-round rows. Only line feeds are written, never carriage returns.
//
// Rendering is table-driven: the 256 texts "0x0, " .. "0xff, " are precomputed and
// copied eight bytes at a time into one buffer sized for the widest possible text
// (every value 0xff), which is trimmed to the written length at the end.
#include "emit/table_text.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <utility>

namespace {

// "0x%x, " for one byte value, padded to eight bytes so that it is copied whole;
// only the first `length` bytes count.
struct ValueText {
    char chars[8];
    uint8_t length;
};

constexpr std::array<ValueText, 256> makeValueTexts() {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<ValueText, 256> texts{};
    for (unsigned v = 0; v < 256; ++v) {
        ValueText& t = texts[v];
        unsigned n = 0;
        t.chars[n++] = '0';
        t.chars[n++] = 'x';
        if (v >= 16) t.chars[n++] = kDigits[v >> 4];
        t.chars[n++] = kDigits[v & 15];
        t.chars[n++] = ',';
        t.chars[n++] = ' ';
        t.length = static_cast<uint8_t>(n);
    }
    return texts;
}

constexpr std::array<ValueText, 256> kValueTexts = makeValueTexts();

static_assert(kValueTexts[0].length == 5 && kValueTexts[0].chars[2] == '0');
static_assert(kValueTexts[0x1f].length == 6 && kValueTexts[0x1f].chars[2] == '1' &&
              kValueTexts[0x1f].chars[3] == 'f');

// Longest texts, reached when every value is 0xff (four characters each). A
// round slot takes at most 108,626 characters and an XOR slot 149,394, each
// with ", " between slots; " = {" opens the text and "\n}" (XOR: "\n}\n")
// closes it.
constexpr size_t roundTextMaxOf(int slots) { return 4 + 108628 * static_cast<size_t>(slots); }
constexpr size_t xorTextMaxOf(int slots) { return 5 + 149396 * static_cast<size_t>(slots); }
static_assert(roundTextMaxOf(kRoundSlots) == 1086284 && xorTextMaxOf(kRoundSlots) == 1493965);
constexpr size_t kSingleTextMax = 24900;
// Room behind the text for the eight-byte copies of the last values.
constexpr size_t kSlack = 16;

// Appends into a buffer whose size was fixed up front; never reallocates.
class TextWriter {
public:
    explicit TextWriter(size_t maxLength) : buffer_(maxLength + kSlack, '\0'), at_(buffer_.data()) {}

    template <size_t N>
    void put(const char (&piece)[N]) {
        std::memcpy(at_, piece, N - 1);
        at_ += N - 1;
    }

    // The value followed by ", ".
    void value(uint8_t v) {
        const ValueText& t = kValueTexts[v];
        std::memcpy(at_, t.chars, sizeof t.chars);
        at_ += t.length;
    }

    // A round-table entry's four values joined by ", ".
    void entry(const uint8_t (&bytes)[4]) {
        value(bytes[0]);
        value(bytes[1]);
        value(bytes[2]);
        value(bytes[3]);
        dropSeparator();
    }

    // Takes back the ", " behind the last value.
    void dropSeparator() { at_ -= 2; }

    // 256 values joined by ", ", with a line feed after every sixteenth separator.
    void valueRows(const uint8_t (&values)[256]) {
        for (size_t k = 0; k < 256; ++k) {
            value(values[k]);
            if ((k & 15) == 15) put("\n");
        }
        // The row ends without separator; the line feed after the last value is
        // not part of it either.
        at_ -= 3;
    }

    std::string finish(size_t maxLength) {
        const size_t length = static_cast<size_t>(at_ - buffer_.data());
        assert(length <= maxLength);
        (void)maxLength;
        buffer_.resize(length);
        return std::move(buffer_);
    }

private:
    std::string buffer_;
    char* at_;
};

void markProgress(std::ostream& progress) { progress << '.' << std::flush; }

// `count` brace pairs joined by ", ", each opened on a new line: "\n{", then
// body(n), then "\n}".
template <typename Body>
void braceList(TextWriter& w, int count, Body body) {
    for (int n = 0; n < count; ++n) {
        if (n > 0) w.put(", ");
        w.put("\n{");
        body(n);
        w.put("\n}");
    }
}

} // namespace

int32_t formatRoundSlots(const RoundTableSlot* block, int slotCount, std::string& text, std::ostream& progress) {
    assert(slotCount > 0);
    const size_t maxLength = roundTextMaxOf(slotCount);
    TextWriter w(maxLength);
    w.put(" = {");
    braceList(w, slotCount, [&](int h) {
        braceList(w, 4, [&](int i) {
            braceList(w, 4, [&](int j) {
                // 256 entries of four bytes, two entries per line.
                const uint8_t(&entries)[256][4] = block[h][i][j];
                for (int k = 0; k < 256; k += 2) {
                    w.put("\n{");
                    w.entry(entries[k]);
                    w.put("}, {");
                    w.entry(entries[k + 1]);
                    w.put("}, ");
                }
                w.dropSeparator();
            });
        });
        markProgress(progress);
    });
    w.put("\n}");
    text = w.finish(maxLength);
    return 0;
}

int32_t formatXorSlots(const XorTableSlot* block, int slotCount, std::string& text, std::ostream& progress) {
    assert(slotCount > 0);
    const size_t maxLength = xorTextMaxOf(slotCount);
    TextWriter w(maxLength);
    w.put(" = {");
    braceList(w, slotCount, [&](int h) {
        braceList(w, 4, [&](int i) {
            braceList(w, kXorTablesPerColumn, [&](int j) {
                w.put("\n");
                w.valueRows(block[h][i][j]);
            });
        });
        markProgress(progress);
    });
    w.put("\n}\n");
    text = w.finish(maxLength);
    return 0;
}

int32_t formatSingleRoundTable(const SingleTableBlock& block, std::string& text) {
    TextWriter w(kSingleTextMax);
    w.put(" = {");
    braceList(w, 4, [&](int h) { braceList(w, 4, [&](int i) { w.valueRows(block[h][i]); }); });
    w.put("\n}");
    text = w.finish(kSingleTextMax);
    return 0;
}
