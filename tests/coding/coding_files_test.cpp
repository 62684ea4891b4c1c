// ECB coding sets and both coding files: generation order, file layout, and the
// errors of opening, short reads and failed writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/status.h"
#include "coding/cbc_codings.h"
#include "coding/ecb_codings.h"
#include "support/twin_source.h"

namespace {

using testsupport::advancedState;

namespace fs = std::filesystem;

const RandomState kState = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe,
                            0x2b, 0x73, 0xae, 0xf0, 0x85, 0x7d, 0x77, 0x81};

class CodingFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tabrix_coding_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    static std::vector<uint8_t> fileBytes(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeBytes(const std::string& name, const uint8_t* data, size_t size) {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    fs::path dir_;
};

TEST(EcbCodings, SetsAreDrawnInputFirstRecordByRecord) {
    RandomSource random(kState);
    CodingSet input;
    CodingSet output;
    ASSERT_EQ(makeEcbCodings(random, input, output), 0);
    EXPECT_TRUE(isValidCodingSet(input));
    EXPECT_TRUE(isValidCodingSet(output));
    EXPECT_EQ(random.state(), advancedState(kState, 2 * 16 * 256));

    // Record k of the output set is the byte coding drawn after 16 + k others.
    for (int k : {0, 7, 15}) {
        RandomSource alone(advancedState(kState, 256 * (16 + k)));
        ByteCoding expected;
        makeByteCoding(alone, expected.forward, expected.inverse);
        EXPECT_EQ(0, std::memcmp(&expected, &output.records[k], sizeof expected)) << k;
    }
    RandomSource again(kState);
    CodingSet first;
    ASSERT_EQ(makeCodingSet(again, first), 0);
    EXPECT_EQ(0, std::memcmp(&first, &input, sizeof first));
    EXPECT_NE(0, std::memcmp(&input, &output, sizeof input));
}

TEST_F(CodingFiles, IocFileHoldsInputThenOutputAndReadsBack) {
    RandomSource random(kState);
    CodingSet input;
    CodingSet output;
    makeEcbCodings(random, input, output);
    const std::string file = path("enc.ioc");
    ASSERT_EQ(writeIocFile(file, input, output), STATUS_OK);

    const std::vector<uint8_t> bytes = fileBytes(file);
    ASSERT_EQ(bytes.size(), kIocFileSize);
    EXPECT_EQ(0, std::memcmp(bytes.data(), &input, 8192));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 8192, &output, 8192));

    CodingSet readInput;
    CodingSet readOutput;
    ASSERT_EQ(readIocFile(file, readInput, readOutput), STATUS_OK);
    EXPECT_EQ(0, std::memcmp(&readInput, &input, sizeof input));
    EXPECT_EQ(0, std::memcmp(&readOutput, &output, sizeof output));

    // Rewriting truncates: a second, different pair replaces the first entirely.
    ASSERT_EQ(writeIocFile(file, output, input), STATUS_OK);
    ASSERT_EQ(readIocFile(file, readInput, readOutput), STATUS_OK);
    EXPECT_EQ(0, std::memcmp(&readInput, &output, sizeof input));
    EXPECT_EQ(fs::file_size(file), kIocFileSize);
}

TEST_F(CodingFiles, ShortIocFilesFailOnEitherSet) {
    std::vector<uint8_t> bytes(kIocFileSize);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    struct Case {
        size_t size;
        bool inputComplete;
    };
    for (const Case& c : {Case{0, false}, Case{100, false}, Case{8191, false}, Case{8192, true},
                          Case{12000, true}, Case{16383, true}}) {
        const std::string file = path("short.ioc");
        writeBytes(file, bytes.data(), c.size);
        CodingSet input;
        CodingSet output;
        std::memset(&input, 0xEE, sizeof input);
        EXPECT_EQ(readIocFile(file, input, output), STATUS_SHORT_READ) << "size " << c.size;
        if (c.inputComplete) {
            EXPECT_EQ(0, std::memcmp(&input, bytes.data(), 8192)) << "size " << c.size;
        }
    }
    // Any 16,384 bytes are accepted; validity is the caller's business.
    const std::string file = path("junk.ioc");
    writeBytes(file, bytes.data(), bytes.size());
    CodingSet input;
    CodingSet output;
    EXPECT_EQ(readIocFile(file, input, output), STATUS_OK);
    EXPECT_FALSE(isValidCodingSet(input));
}

TEST_F(CodingFiles, OpenAndWriteFailuresGiveTheirStatus) {
    CodingSet set;
    std::memset(&set, 0x42, sizeof set);
    CodingSet other = set;
    const std::string missing = path("no_such_dir/file.bin");

    EXPECT_EQ(readIocFile(missing, set, other), STATUS_OPEN_FAILED);
    EXPECT_EQ(readCbcDataFile(missing, set), STATUS_OPEN_FAILED);
    EXPECT_EQ(writeIocFile(missing, set, other), STATUS_OPEN_FAILED);
    EXPECT_EQ(writeCbcDataFile(missing, set), STATUS_OPEN_FAILED);

    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this machine";
    }
    EXPECT_EQ(writeIocFile("/dev/full", set, other), STATUS_WRITE_FAILED);
    EXPECT_EQ(writeCbcDataFile("/dev/full", set), STATUS_WRITE_FAILED);
}

TEST_F(CodingFiles, CbcDataFileHoldsOneSet) {
    RandomSource random(kState);
    CodingSet first;
    CodingSet second;
    CodingSet third;
    ASSERT_EQ(makeCbcCodings(random, first, second, third), STATUS_OK);
    const std::string file = path("enc.cbcdata");
    ASSERT_EQ(writeCbcDataFile(file, third), STATUS_OK);
    const std::vector<uint8_t> bytes = fileBytes(file);
    ASSERT_EQ(bytes.size(), kCbcDataFileSize);
    EXPECT_EQ(0, std::memcmp(bytes.data(), &third, sizeof third));

    CodingSet read;
    ASSERT_EQ(readCbcDataFile(file, read), STATUS_OK);
    EXPECT_EQ(0, std::memcmp(&read, &third, sizeof read));

    writeBytes(file, bytes.data(), 8191);
    EXPECT_EQ(readCbcDataFile(file, read), STATUS_SHORT_READ);
}

} // namespace
