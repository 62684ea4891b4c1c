#include "audit_fixture.h"

#include <sstream>

#include "audit/audit_command.h"
#include "audit/table_headers.h"

namespace audittest {

const char* const kHeaderKeys[6] = {"roundTable",    "xorTable",    "finalRoundTable",
                                    "invRoundTable", "invXorTable", "invFirstRoundTable"};

namespace {
const char* const kTemplates[6] = {"AESRoundTables_auth.tpl", "AESXorTables_auth.tpl", "AESFinalTable_auth.tpl",
                                   "AESInvRoundTables_auth.tpl", "AESInvXorTables_auth.tpl", "AESInvFirstTable_auth.tpl"};
} // namespace

TableRun::TableRun(const std::string& encryptKey, const std::string& decryptKey,
                   const std::string& codingCommand, const std::string& seed,
                   const std::vector<std::string>& templates, bool mixed, int keyBits) {
    const std::string flag = codingCommand.empty() ? "0" : "1";
    const std::string rounds = std::to_string(keyBits / 32 + 6);
    const std::string folder = keyBits == 128 ? "TPL" : "TPL" + std::to_string(keyBits);
    std::string text = "[KEY_VALUE]\nencryptKey = " + encryptKey + "\ndecryptKey = " + decryptKey +
                       "\n[HEADER_FILES]\n";
    for (int i = 0; i < 6; ++i) {
        std::string templatePath = std::string(TABRIX_SOURCE_DIR) + "/examples/Tables/" + folder + "/" + kTemplates[i];
        if (!templates.empty()) {
            templatePath = file(kTemplates[i]);
            testsupport::writeFile(templatePath, templates[static_cast<size_t>(i)]);
        }
        text += std::string(kHeaderKeys[i]) + "Tpl = " + templatePath + "\n";
        text += std::string(kHeaderKeys[i]) + " = " + header(i) + "\n";
    }
    if (mixed) {
        for (const char* key : {"mixTable", "mixXorTable", "invMixTable", "invMixXorTable"}) {
            const std::string name = std::string(key) + "s";
            const std::string shape =
                "[" + rounds + (name.find("Xor") != std::string::npos ? "][4][24][256]" : "][4][4][256][4]");
            testsupport::writeFile(file(name + ".tpl"), "static const unsigned char #" + name + "#" + shape + "#;\n");
            text += std::string(key) + "Tpl = " + file(name + ".tpl") + "\n";
            text += std::string(key) + " = " + (dir_ / "out" / (name + ".h")).string() + "\n";
        }
    }
    if (mixed || keyBits != 128) {
        text += "[TABLES]\n";
        if (mixed) text += "format = mixed\n";
        if (keyBits != 128) text += "keyBits = " + std::to_string(keyBits) + "\n";
    }
    text += "[IOC_FILES]\nuseEncryptIOC = " + flag + "\nuseDecryptIOC = " + flag +
            "\nencryptIOC = " + file("ioc_encrypt.dat") + "\ndecryptIOC = " + file("ioc_decrypt.dat") +
            "\nencryptCBCIOCData = " + file("cbc_encrypt.dat") + "\ndecryptCBCIOCData = " +
            file("cbc_decrypt.dat") + "\n[RANDOM]\nseed = " + seed + "\n";
    testsupport::writeFile(script(), text);
    std::filesystem::create_directory(dir_ / "out");
    std::vector<std::string> args;
    if (!codingCommand.empty()) args.push_back(codingCommand + script());
    args.push_back("/g:" + script());
    const testsupport::RunResult run = testsupport::runTool(args, dir_.path());
    ok_ = run.status == 0;
    output_ = run.output;
}

std::string TableRun::header(int index) const {
    return (dir_ / "out" / (std::string(kHeaderKeys[index]) + ".h")).string();
}

std::vector<std::string> TableRun::headers() const {
    std::vector<std::string> all;
    for (int i = 0; i < 6; ++i) all.push_back(header(i));
    return all;
}

AuditRun audit(const std::vector<std::string>& args) {
    std::ostringstream out;
    const int status = runAudit(args, out);
    return {status, out.str()};
}

::testing::AssertionResult readMix(const TableRun& run, Direction direction, MixHeaders& headers) {
    const bool encrypt = direction == Direction::Encrypt;
    const std::string mixName = encrypt ? "mixTables" : "invMixTables";
    const std::string mixXorName = encrypt ? "mixXorTables" : "invMixXorTables";
    std::string error;
    int rounds = 0;
    if (parseRoundTableText(testsupport::readFile(run.file("out/" + mixName + ".h")), mixName.c_str(),
                            kRoundSlotBytes, headers.mix, rounds, error) != 0 ||
        parseRoundTableText(testsupport::readFile(run.file("out/" + mixXorName + ".h")), mixXorName.c_str(),
                            kXorSlotBytes, headers.mixXor, rounds, error) != 0) {
        return ::testing::AssertionFailure() << error;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult loadMixed(const TableRun& run, MixedSet& mixed) {
    std::string error;
    if (loadHeaderSet(run.headers(), mixed.set, error) != 0) return ::testing::AssertionFailure() << error;
    const ::testing::AssertionResult encrypt = readMix(run, Direction::Encrypt, mixed.encrypt);
    return encrypt ? readMix(run, Direction::Decrypt, mixed.decrypt) : encrypt;
}

::testing::AssertionResult loadRun(const TableRun& run, bool mixed, MixedSet& set) {
    if (mixed) return loadMixed(run, set);
    std::string error;
    if (loadHeaderSet(run.headers(), set.set, error) != 0) return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
}

NetworkTables networkOf(const MixedSet& set, Direction direction, bool mixed) {
    const bool e = direction == Direction::Encrypt;
    NetworkTables tables{e ? &set.set.encrypt : &set.set.decrypt};
    if (mixed) {
        tables.mix = e ? &set.encrypt.mix : &set.decrypt.mix;
        tables.mixXor = e ? &set.encrypt.mixXor : &set.decrypt.mixXor;
    }
    return tables;
}

std::string randomKey(uint32_t seed, int keyBits) {
    const std::vector<uint8_t> bytes = testsupport::pseudoRandomBytes(static_cast<size_t>(keyBits / 8), seed);
    return testsupport::hexText(bytes.data(), bytes.size());
}

std::vector<std::string> writeHeaders(const testsupport::TempDir& dir, const std::function<std::string(int)>& text) {
    std::vector<std::string> args = {"--headers"};
    for (int i = 0; i < 6; ++i) {
        args.push_back((dir / kHeaderKeys[i]).string());
        testsupport::writeFile(args.back(), text(i));
    }
    return args;
}

} // namespace audittest
