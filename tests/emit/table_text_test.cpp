// Table text: exact lengths, brace and line counts, golden beginnings and ends,
// value rendering against printf's "0x%x", and the progress marks.
#include "emit/table_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "support/support.h"
#include "support/sync_recorder.h"

namespace {

constexpr size_t kRoundBytes = 163840;
constexpr size_t kXorBytes = 245760;
constexpr size_t kSingleBytes = 4096;

enum class Shape { round, xorRows, single };

struct Rendered {
    std::string text;
    std::string progress;
};

Rendered render(Shape shape, const std::vector<uint8_t>& block) {
    Rendered r;
    r.text = "left over from an earlier call";
    std::ostringstream progress;
    int32_t status = -99;
    // The formatters take the blocks where they live, in a table storage.
    auto storage = std::make_unique<TableStorage>();
    EncryptionTableSet& e = storage->enc;
    switch (shape) {
    case Shape::round:
        std::memcpy(&e.roundTables, block.data(), sizeof e.roundTables);
        status = formatRoundTables(e.roundTables, r.text, progress);
        break;
    case Shape::xorRows:
        std::memcpy(&e.xorTables, block.data(), sizeof e.xorTables);
        status = formatXorTables(e.xorTables, r.text, progress);
        break;
    case Shape::single:
        std::memcpy(&e.finalRoundTable, block.data(), sizeof e.finalRoundTable);
        status = formatSingleRoundTable(e.finalRoundTable, r.text);
        break;
    }
    EXPECT_EQ(status, 0);
    r.progress = progress.str();
    return r;
}

size_t blockBytes(Shape shape) {
    switch (shape) {
    case Shape::round: return kRoundBytes;
    case Shape::xorRows: return kXorBytes;
    case Shape::single: return kSingleBytes;
    }
    return 0;
}

std::vector<uint8_t> countingBlock(Shape shape) {
    std::vector<uint8_t> block(blockBytes(shape));
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
    return block;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

size_t countOf(const std::string& s, const std::string& piece) {
    size_t n = 0;
    for (size_t at = s.find(piece); at != std::string::npos; at = s.find(piece, at + piece.size())) ++n;
    return n;
}

// The value lines of a rendered table: those that start with start (after one
// leading "{" where dropBrace) must each hold perLine values; counts the ones
// that end with openEnd (more follow in their element) and the others.
struct ValueLines {
    size_t open = 0;
    size_t closing = 0;
};

ValueLines valueLines(const std::string& text, const std::string& start, bool dropBrace, size_t perLine,
                      const std::string& openEnd) {
    ValueLines counts;
    for (const std::string& line : splitLines(text)) {
        const std::string values = dropBrace && startsWith(line, "{0x") ? line.substr(1) : line;
        if (!startsWith(values, start)) continue;
        EXPECT_EQ(countOf(values, "0x"), perLine) << line;
        if (endsWith(values, openEnd)) {
            ++counts.open;
        } else {
            ++counts.closing;
        }
    }
    return counts;
}

const char* shapeName(Shape shape) {
    switch (shape) {
    case Shape::round: return "round";
    case Shape::xorRows: return "xor";
    case Shape::single: return "single";
    }
    return "?";
}

TEST(TableText, LengthsForSmallestAndWidestValues) {
    struct Case {
        Shape shape;
        uint8_t fill;
        size_t length;
    };
    const Case cases[] = {
        {Shape::round, 0x00, 922444},   {Shape::round, 0xff, 1086284},
        {Shape::xorRows, 0x00, 1248205}, {Shape::xorRows, 0xff, 1493965},
        {Shape::single, 0x00, 20804},   {Shape::single, 0xff, 24900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(shapeName(c.shape)) + " fill " + std::to_string(c.fill));
        const Rendered r = render(c.shape, std::vector<uint8_t>(blockBytes(c.shape), c.fill));
        EXPECT_EQ(r.text.size(), c.length);
        // The text replaces what the output held before.
        EXPECT_TRUE(startsWith(r.text, " = {"));
        const std::string value = c.fill == 0 ? "0x0" : "0xff";
        EXPECT_EQ(countOf(r.text, value), blockBytes(c.shape));
    }
}

TEST(TableText, BraceAndLineCountsDoNotDependOnValues) {
    struct Case {
        Shape shape;
        size_t braces;
        size_t lineFeeds;
    };
    const Case cases[] = {
        {Shape::round, 41171, 20901},
        {Shape::xorRows, 1011, 17382},
        {Shape::single, 21, 281},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shapeName(c.shape));
        const Rendered r = render(c.shape, testsupport::pseudoRandomBytes(blockBytes(c.shape), 7));
        EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '{'), static_cast<long>(c.braces));
        EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '}'), static_cast<long>(c.braces));
        EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '\n'), static_cast<long>(c.lineFeeds));
        EXPECT_EQ(r.text.find('\r'), std::string::npos);
        EXPECT_EQ(r.text.find(';'), std::string::npos);
        EXPECT_EQ(countOf(r.text, "0x"), blockBytes(c.shape));
    }
}

TEST(TableText, EndsAsEachShapeRequires) {
    for (const Shape shape : {Shape::round, Shape::xorRows, Shape::single}) {
        SCOPED_TRACE(shapeName(shape));
        const Rendered r = render(shape, testsupport::pseudoRandomBytes(blockBytes(shape), 3));
        if (shape == Shape::xorRows) {
            EXPECT_TRUE(endsWith(r.text, "\n}\n}\n}\n}\n"));
        } else if (shape == Shape::round) {
            EXPECT_TRUE(endsWith(r.text, "}\n}\n}\n}\n}"));
        } else {
            EXPECT_TRUE(endsWith(r.text, "\n}\n}\n}"));
        }
    }
}

TEST(TableText, ProgressMarks) {
    EXPECT_EQ(render(Shape::round, countingBlock(Shape::round)).progress, "..........");
    EXPECT_EQ(render(Shape::xorRows, countingBlock(Shape::xorRows)).progress, "..........");

    // The single-round formatter has no progress stream; it must not fall back to cout.
    std::ostringstream captured;
    std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
    render(Shape::single, countingBlock(Shape::single));
    std::cout.rdbuf(saved);
    EXPECT_EQ(captured.str(), "");
}

// Each mark is flushed as soon as it is written, before the next block of text
// is rendered, so that it reaches the screen while the header is being made.
TEST(TableText, EveryProgressMarkIsFlushedBeforeTheNext) {
    auto storage = std::make_unique<TableStorage>();
    for (Shape shape : {Shape::round, Shape::xorRows}) {
        SCOPED_TRACE(shape == Shape::round ? "round" : "xor");
        SyncRecorder recorder;
        std::ostream progress(&recorder);
        std::string text;
        if (shape == Shape::round) {
            ASSERT_EQ(formatRoundTables(storage->enc.roundTables, text, progress), 0);
        } else {
            ASSERT_EQ(formatXorTables(storage->enc.xorTables, text, progress), 0);
        }
        EXPECT_EQ(recorder.received, "..........");
        for (size_t marks = 1; marks <= 10; ++marks) {
            EXPECT_TRUE(recorder.syncedAfter(marks)) << "no flush right after mark " << marks;
        }
    }
}

TEST(TableText, RoundTablesGoldenText) {
    const std::string text = render(Shape::round, countingBlock(Shape::round)).text;
    EXPECT_TRUE(startsWith(text, " = {\n{\n{\n{\n"
                                 "{0x0, 0x1, 0x2, 0x3}, {0x4, 0x5, 0x6, 0x7}, \n"
                                 "{0x8, 0x9, 0xa, 0xb}, {0xc, 0xd, 0xe, 0xf}, \n"
                                 "{0x10, 0x11, 0x12, 0x13}, {0x14, 0x15, 0x16, 0x17}, \n"))
        << text.substr(0, 200);
    // End of the first innermost element and start of its sibling.
    const size_t firstClose = text.find("\n}");
    ASSERT_NE(firstClose, std::string::npos);
    const std::string lastLine = "\n{0xf8, 0xf9, 0xfa, 0xfb}, {0xfc, 0xfd, 0xfe, 0xff}";
    const std::string boundary = lastLine + "\n}, \n{\n{0x0, 0x1, 0x2, 0x3}, ";
    ASSERT_GE(firstClose, lastLine.size());
    EXPECT_EQ(text.substr(firstClose - lastLine.size(), boundary.size()), boundary);
    // Between outermost elements: three closers, a separator, three openers.
    EXPECT_NE(text.find("0xff}\n}\n}\n}, \n{\n{\n{\n{0x0, 0x1"), std::string::npos);
    EXPECT_TRUE(endsWith(text, lastLine + "\n}\n}\n}\n}"));

    // Every group line holds two entries; all but the last of each innermost
    // element end with ", ".
    const ValueLines lines = valueLines(text, "{0x", false, 8, "}, ");
    EXPECT_EQ(lines.open + lines.closing, 20480u);
    EXPECT_EQ(lines.open, 20480u - 160u);
}

TEST(TableText, XorTablesGoldenText) {
    const std::string text = render(Shape::xorRows, countingBlock(Shape::xorRows)).text;
    EXPECT_TRUE(startsWith(text, " = {\n{\n{\n{\n"
                                 "0x0, 0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xa, 0xb, 0xc, 0xd, 0xe, 0xf, \n"
                                 "0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, "
                                 "0x1d, 0x1e, 0x1f, \n"))
        << text.substr(0, 200);
    const std::string lastLine = "0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa, 0xfb, 0xfc, "
                                 "0xfd, 0xfe, 0xff";
    EXPECT_NE(text.find("\n" + lastLine + "\n}, \n{\n0x0, 0x1, "), std::string::npos);
    EXPECT_NE(text.find("0xff\n}\n}\n}, \n{\n{\n{\n0x0, 0x1, "), std::string::npos);
    EXPECT_TRUE(endsWith(text, "\n" + lastLine + "\n}\n}\n}\n}\n"));

    const ValueLines lines = valueLines(text, "0x", false, 16, ", ");
    EXPECT_EQ(lines.open, 960u * 15u);
    EXPECT_EQ(lines.closing, 960u);
}

TEST(TableText, SingleRoundTableGoldenText) {
    const std::string text = render(Shape::single, countingBlock(Shape::single)).text;
    EXPECT_TRUE(startsWith(text, " = {\n{\n"
                                 "{0x0, 0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xa, 0xb, 0xc, 0xd, 0xe, 0xf, \n"
                                 "0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, "
                                 "0x1d, 0x1e, 0x1f, \n"))
        << text.substr(0, 200);
    EXPECT_NE(text.find("0xfe, 0xff\n}, \n{0x0, 0x1, "), std::string::npos);
    EXPECT_NE(text.find("0xfe, 0xff\n}\n}, \n{\n{0x0, 0x1, "), std::string::npos);
    EXPECT_TRUE(endsWith(text, ", 0xfe, 0xff\n}\n}\n}"));

    EXPECT_EQ(valueLines(text, "0x", true, 16, ", ").open, 16u * 15u);
}

TEST(TableText, EveryValueRendersAsPrintfHex) {
    // The first row of the counting block holds each byte value once, in order.
    const std::string text = render(Shape::single, countingBlock(Shape::single)).text;
    const size_t begin = text.find("{0x0,") + 1;
    const std::string row = text.substr(begin, text.find("\n}", begin) - begin);
    std::string expected;
    for (unsigned v = 0; v < 256; ++v) {
        char value[8];
        std::snprintf(value, sizeof value, "0x%x", v);
        expected += value;
        if (v != 255) expected += (v % 16 == 15) ? ", \n" : ", ";
    }
    EXPECT_EQ(row, expected);

    std::vector<uint8_t> block(kSingleBytes, 0);
    block[0] = 0x00;
    block[1] = 0x0a;
    block[2] = 0x1f;
    block[3] = 0xff;
    EXPECT_TRUE(startsWith(render(Shape::single, block).text, " = {\n{\n{0x0, 0xa, 0x1f, 0xff, 0x0, "));
}

// The longer keys' blocks: R round slots render as the ten of AES-128 with
// R - 10 more behind them, one progress mark each, and the widest values fit
// the formatters' buffers (sized for R).
template <int Rounds>
void expectLongerBlock(const char* name) {
    SCOPED_TRACE(name);
    using Round = RoundTableBlockOf<Rounds>;
    using Xor = XorTableBlockOf<Rounds>;
    auto longer = std::make_unique<TableStorageOf<Rounds>>();
    auto classic = std::make_unique<TableStorage>();
    const std::vector<uint8_t> roundBytes = testsupport::pseudoRandomBytes(sizeof(Round), 11);
    const std::vector<uint8_t> xorBytes = testsupport::pseudoRandomBytes(sizeof(Xor), 12);
    std::memcpy(&longer->enc.roundTables, roundBytes.data(), sizeof(Round));
    std::memcpy(&longer->enc.xorTables, xorBytes.data(), sizeof(Xor));
    std::memcpy(&classic->enc.roundTables, roundBytes.data(), sizeof classic->enc.roundTables);
    std::memcpy(&classic->enc.xorTables, xorBytes.data(), sizeof classic->enc.xorTables);

    const std::string marks(static_cast<size_t>(Rounds), '.');
    std::ostringstream progress;
    std::string text, tenSlots;
    ASSERT_EQ(formatRoundTables(longer->enc.roundTables, text, progress), 0);
    ASSERT_EQ(formatRoundTables(classic->enc.roundTables, tenSlots, progress), 0);
    // Ten slots close with "\n}"; with more, a ", " and the eleventh slot follow.
    tenSlots.resize(tenSlots.size() - 2);
    EXPECT_TRUE(startsWith(text, tenSlots + ", \n{\n{\n{\n{0x"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), 1 + 4117L * Rounds);
    EXPECT_EQ(countOf(text, "0x"), sizeof(Round));

    ASSERT_EQ(formatXorTables(longer->enc.xorTables, text, progress), 0);
    ASSERT_EQ(formatXorTables(classic->enc.xorTables, tenSlots, progress), 0);
    tenSlots.resize(tenSlots.size() - 3); // "\n}\n"
    EXPECT_TRUE(startsWith(text, tenSlots + ", \n{\n{\n{\n0x"));
    EXPECT_TRUE(endsWith(text, "\n}\n}\n}\n}\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), 1 + 101L * Rounds);
    EXPECT_EQ(countOf(text, "0x"), sizeof(Xor));
    EXPECT_EQ(progress.str(), marks + ".........." + marks + "..........");

    // Every value 0xff: the widest text, four characters a value.
    std::memset(&longer->enc, 0xff, sizeof longer->enc);
    ASSERT_EQ(formatRoundTables(longer->enc.roundTables, text, progress), 0);
    EXPECT_EQ(text.size(), 4 + 108628u * Rounds);
    ASSERT_EQ(formatXorTables(longer->enc.xorTables, text, progress), 0);
    EXPECT_EQ(text.size(), 5 + 149396u * Rounds);
}

TEST(TableText, LongerKeysRenderTheirRoundSlots) {
    expectLongerBlock<kAes192Rounds>("R=12");
    expectLongerBlock<kAes256Rounds>("R=14");
}

} // namespace
