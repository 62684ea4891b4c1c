#include "cli_fixture.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "base/script_keys.h"

namespace clitest {

const std::vector<std::pair<std::string, std::string>> kHeaderKeys = {
    {"roundTableTpl", "tpl/round.tpl"},         {"roundTable", "out/round.h"},
    {"xorTableTpl", "tpl/xor.tpl"},             {"xorTable", "out/xor.h"},
    {"finalRoundTableTpl", "tpl/final.tpl"},    {"finalRoundTable", "out/final.h"},
    {"invRoundTableTpl", "tpl/invround.tpl"},   {"invRoundTable", "out/invround.h"},
    {"invXorTableTpl", "tpl/invxor.tpl"},       {"invXorTable", "out/invxor.h"},
    {"invFirstRoundTableTpl", "tpl/invfirst.tpl"}, {"invFirstRoundTable", "out/invfirst.h"},
};

const std::vector<std::string> kHeaders = {"out/round.h",    "out/xor.h",    "out/final.h",
                                           "out/invround.h", "out/invxor.h", "out/invfirst.h"};

const std::map<std::string, std::string> kMixedKeys = {
    {"TABLES/format", "mixed"},
    {"mixTableTpl", "tpl/mix.tpl"},         {"mixTable", "out/mix.h"},
    {"mixXorTableTpl", "tpl/mixxor.tpl"},   {"mixXorTable", "out/mixxor.h"},
    {"invMixTableTpl", "tpl/invmix.tpl"},   {"invMixTable", "out/invmix.h"},
    {"invMixXorTableTpl", "tpl/invmixxor.tpl"}, {"invMixXorTable", "out/invmixxor.h"},
};

const std::vector<std::string> kMixedHeaders = {"out/mix.h", "out/mixxor.h", "out/invmix.h",
                                                "out/invmixxor.h"};

ToolFolder::ToolFolder() {
    std::filesystem::create_directory(path() / "tpl");
    std::filesystem::create_directory(path() / "out");
    const std::pair<const char*, const char*> templates[] = {
        {"tpl/round.tpl", "#roundTables#[10][4][4][256][4]#"},
        {"tpl/xor.tpl", "#xorTables#[10][4][24][256]#"},
        {"tpl/final.tpl", "#finalRoundTable#[4][4][256]#"},
        {"tpl/invround.tpl", "#invRoundTables#[10][4][4][256][4]#"},
        {"tpl/invxor.tpl", "#invXorTables#[10][4][24][256]#"},
        {"tpl/invfirst.tpl", "#invFirstRoundTable#[4][4][256]#"},
        {"tpl/mix.tpl", "#mixTables#[10][4][4][256][4]#"},
        {"tpl/mixxor.tpl", "#mixXorTables#[10][4][24][256]#"},
        {"tpl/invmix.tpl", "#invMixTables#[10][4][4][256][4]#"},
        {"tpl/invmixxor.tpl", "#invMixXorTables#[10][4][24][256]#"},
    };
    for (const auto& [file, placeholder] : templates) {
        testsupport::writeFile(path() / file,
                               std::string("static const unsigned char ") + placeholder + ";\n");
    }
}

void ToolFolder::writeScript(const std::string& name,
                             const std::map<std::string, std::string>& changes) const {
    std::map<std::string, std::string> values = {
        {"encryptKey", "000102030405060708090a0b0c0d0e0f"},
        {"decryptKey", "000102030405060708090A0B0C0D0E0F"},
        {"useEncryptIOC", "0"},
        {"useDecryptIOC", "0"},
        {"encryptIOC", "enc.ioc"},
        {"decryptIOC", "dec.ioc"},
        {"encryptCBCIOCData", "enc.cbc"},
        {"decryptCBCIOCData", "dec.cbc"},
    };
    values.insert(kHeaderKeys.begin(), kHeaderKeys.end());
    std::map<std::string, std::string> pending(changes);
    std::string text;
    std::string_view section;
    // The keys in the order and sections of the tool's own table.
    for (const ScriptKey& row : kScriptKeys) {
        const std::string key(row.key);
        std::optional<std::string> value;
        if (auto it = values.find(key); it != values.end()) value = it->second;
        for (const std::string& spelling : {key, std::string(row.section) + "/" + key}) {
            if (auto it = pending.find(spelling); it != pending.end()) {
                value = it->second;
                pending.erase(it);
            }
        }
        if (!value || *value == "<absent>") continue;
        if (row.section != section) {
            section = row.section;
            text.append("[").append(section).append("]\n");
        }
        text += key + " = " + *value + "\n";
    }
    // Keys the tool does not read go into their own sections, written as
    // "SECTION/key".
    for (const auto& [key, value] : pending) {
        const size_t slash = key.find('/');
        text.append("[").append(key, 0, slash).append("]\n");
        text.append(key, slash + 1).append(" = ").append(value).append("\n");
    }
    testsupport::writeFile(*this / name, text);
}

const char* const kFixedSeed = "5EED5EED5EED5EED5EED5EED5EED5EED";

std::map<std::string, std::string> seeded(std::map<std::string, std::string> changes) {
    changes["RANDOM/seed"] = kFixedSeed;
    return changes;
}

std::string failFrame(int status) {
    const std::string border = " ----------------------------------------\n";
    return border + "| MARLO AES TABLES GENERATION FAIL WITH " + std::to_string(status) + " |\n" + border;
}

std::string successOutput(const std::string& absoluteScript) {
    auto saving = [](const std::string& header, bool marks) {
        return "--- Saving " + header + " header file " + (marks ? ".........." : "") +
               " success\n";
    };
    std::string out = "Reading '" + absoluteScript + "' ...\n";
    out += "MARLO AES ENCRYPT TABLES GENERATED\n";
    out += saving(kHeaders[0], true) + saving(kHeaders[1], true) + saving(kHeaders[2], false);
    out += "MARLO AES ENCRYPT TABLES SAVED\n\n";
    out += "MARLO AES DECRYPT TABLES GENERATED\n";
    out += saving(kHeaders[3], true) + saving(kHeaders[4], true) + saving(kHeaders[5], false);
    out += "MARLO AES DECRYPT TABLES SAVED\n";
    out += " ----------------------------------------\n"
           "| MARLO AES TABLES GENERATED SUCCESSFULY |\n"
           " ----------------------------------------\n";
    return out;
}

namespace {

bool parseValues(const std::string& text, uint8_t* out, size_t count) {
    size_t at = text.find(" = {");
    if (at == std::string::npos) return false;
    size_t n = 0;
    while ((at = text.find("0x", at)) != std::string::npos) {
        at += 2;
        unsigned value = 0;
        size_t digits = 0;
        while (at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]))) {
            value = value * 16 + static_cast<unsigned>(std::stoi(std::string(1, text[at]), nullptr, 16));
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255 || n == count) return false;
        out[n++] = static_cast<uint8_t>(value);
    }
    return n == count;
}

} // namespace

template <int Rounds>
bool loadHeaders(const ToolFolder& folder, TableStorageOf<Rounds>& storage) {
    std::memset(&storage, 0, sizeof storage);
    auto load = [&](size_t i, void* table, size_t size) {
        return parseValues(testsupport::readFile(folder / kHeaders[i]), static_cast<uint8_t*>(table),
                           size);
    };
    return load(0, storage.enc.roundTables, sizeof storage.enc.roundTables) &&
           load(1, storage.enc.xorTables, sizeof storage.enc.xorTables) &&
           load(2, storage.enc.finalRoundTable, sizeof storage.enc.finalRoundTable) &&
           load(3, storage.dec.invRoundTables, sizeof storage.dec.invRoundTables) &&
           load(4, storage.dec.invXorTables, sizeof storage.dec.invXorTables) &&
           load(5, storage.dec.invFirstRoundTable, sizeof storage.dec.invFirstRoundTable);
}

template <int Rounds>
bool loadMixedHeaders(const ToolFolder& folder, MixedTableStorageOf<Rounds>& storage) {
    std::memset(&storage, 0, sizeof storage);
    auto load = [&](const std::string& header, void* table, size_t size) {
        return parseValues(testsupport::readFile(folder / header), static_cast<uint8_t*>(table), size);
    };
    return loadHeaders(folder, storage.tables) &&
           load(kMixedHeaders[0], storage.enc.mixTables, sizeof storage.enc.mixTables) &&
           load(kMixedHeaders[1], storage.enc.mixXorTables, sizeof storage.enc.mixXorTables) &&
           load(kMixedHeaders[2], storage.dec.invMixTables, sizeof storage.dec.invMixTables) &&
           load(kMixedHeaders[3], storage.dec.invMixXorTables, sizeof storage.dec.invMixXorTables);
}

template bool loadHeaders(const ToolFolder&, TableStorageOf<kAes128Rounds>&);
template bool loadHeaders(const ToolFolder&, TableStorageOf<kAes192Rounds>&);
template bool loadHeaders(const ToolFolder&, TableStorageOf<kAes256Rounds>&);
template bool loadMixedHeaders(const ToolFolder&, MixedTableStorageOf<kAes128Rounds>&);
template bool loadMixedHeaders(const ToolFolder&, MixedTableStorageOf<kAes192Rounds>&);
template bool loadMixedHeaders(const ToolFolder&, MixedTableStorageOf<kAes256Rounds>&);

bool loadCodingSet(const std::filesystem::path& file, size_t offset, CodingSet& set) {
    const std::string bytes = testsupport::readFile(file);
    if (bytes.size() < offset + sizeof set) return false;
    std::memcpy(&set, bytes.data() + offset, sizeof set);
    return true;
}

} // namespace clitest
