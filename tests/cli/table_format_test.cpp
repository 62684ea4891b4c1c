// [TABLES] format: the classic headers stay byte for byte what they were for a
// fixed seed (a golden digest, not the files), and bad values are refused.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include "cli_fixture.h"
#include "expected_messages.h"

using clitest::kHeaders;
using clitest::ToolFolder;

namespace {

// SHA-256 of the six headers, in kHeaders order, as lower-case hex.
std::string headerDigest(const ToolFolder& folder, const std::vector<std::string>& headers) {
    std::string all;
    for (const auto& header : headers) all += testsupport::readFile(folder / header);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(all.data(), all.size(), digest, &length, EVP_sha256(), nullptr), 1);
    return testsupport::hexText(digest, length);
}

// The six headers of the default script with RANDOM/seed = kFixedSeed, as the
// tool wrote them before the format key existed.
constexpr const char* kClassicDigest =
    "d454bcaf1645ea5d38d6dd7cb0b93d310e927c5527dabbd7103b503abdc29574";

} // namespace

TEST(TableFormat, ClassicHeadersMatchTheGoldenDigest) {
    for (const char* format : {"<absent>", "classic", ""}) {
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded({{"TABLES/format", format}}));
        const auto run = folder.run({"/g:t.cfg"});
        ASSERT_EQ(run.status, 0) << format << run.output;
        EXPECT_EQ(run.output, clitest::successOutput(folder.absolute("t.cfg"))) << format;
        EXPECT_EQ(headerDigest(folder, kHeaders), kClassicDigest) << format;
    }
}
