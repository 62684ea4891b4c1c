// Every value the commands read from a script, in one table: its section, its
// key, and the field of ScriptValues it fills. The commands, the audit, the
// fuzz target of the script reader and the test fixture take the names from here.
#pragma once
#include <string>
#include <string_view>

struct ScriptValues {
    std::string encryptKey, decryptKey;
    // Templates, then headers, in HeaderFilePaths order.
    std::string roundTableTpl, xorTableTpl, finalRoundTableTpl;
    std::string invRoundTableTpl, invXorTableTpl, invFirstRoundTableTpl;
    std::string roundTable, xorTable, finalRoundTable;
    std::string invRoundTable, invXorTable, invFirstRoundTable;
    std::string useEncryptIOC, useDecryptIOC;
    std::string encryptIOC, decryptIOC, encryptCBCIOCData, decryptCBCIOCData;
    std::string seed;
    // [TABLES] format and keyBits, and the mixed format's templates, then headers.
    std::string format, keyBits;
    std::string mixTableTpl, mixXorTableTpl, invMixTableTpl, invMixXorTableTpl;
    std::string mixTable, mixXorTable, invMixTable, invMixXorTable;
    // [LOCK] waitSeconds: how long to wait for an output folder another run holds.
    std::string lockWait;
};

struct ScriptKey {
    std::string_view section;
    std::string_view key;
    std::string ScriptValues::*field;
};

inline constexpr ScriptKey kScriptKeys[] = {
    {"KEY_VALUE", "encryptKey", &ScriptValues::encryptKey},
    {"KEY_VALUE", "decryptKey", &ScriptValues::decryptKey},
    {"HEADER_FILES", "roundTableTpl", &ScriptValues::roundTableTpl},
    {"HEADER_FILES", "roundTable", &ScriptValues::roundTable},
    {"HEADER_FILES", "xorTableTpl", &ScriptValues::xorTableTpl},
    {"HEADER_FILES", "xorTable", &ScriptValues::xorTable},
    {"HEADER_FILES", "finalRoundTableTpl", &ScriptValues::finalRoundTableTpl},
    {"HEADER_FILES", "finalRoundTable", &ScriptValues::finalRoundTable},
    {"HEADER_FILES", "invRoundTableTpl", &ScriptValues::invRoundTableTpl},
    {"HEADER_FILES", "invRoundTable", &ScriptValues::invRoundTable},
    {"HEADER_FILES", "invXorTableTpl", &ScriptValues::invXorTableTpl},
    {"HEADER_FILES", "invXorTable", &ScriptValues::invXorTable},
    {"HEADER_FILES", "invFirstRoundTableTpl", &ScriptValues::invFirstRoundTableTpl},
    {"HEADER_FILES", "invFirstRoundTable", &ScriptValues::invFirstRoundTable},
    {"HEADER_FILES", "mixTableTpl", &ScriptValues::mixTableTpl},
    {"HEADER_FILES", "mixTable", &ScriptValues::mixTable},
    {"HEADER_FILES", "mixXorTableTpl", &ScriptValues::mixXorTableTpl},
    {"HEADER_FILES", "mixXorTable", &ScriptValues::mixXorTable},
    {"HEADER_FILES", "invMixTableTpl", &ScriptValues::invMixTableTpl},
    {"HEADER_FILES", "invMixTable", &ScriptValues::invMixTable},
    {"HEADER_FILES", "invMixXorTableTpl", &ScriptValues::invMixXorTableTpl},
    {"HEADER_FILES", "invMixXorTable", &ScriptValues::invMixXorTable},
    {"IOC_FILES", "useEncryptIOC", &ScriptValues::useEncryptIOC},
    {"IOC_FILES", "useDecryptIOC", &ScriptValues::useDecryptIOC},
    {"IOC_FILES", "encryptIOC", &ScriptValues::encryptIOC},
    {"IOC_FILES", "decryptIOC", &ScriptValues::decryptIOC},
    {"IOC_FILES", "encryptCBCIOCData", &ScriptValues::encryptCBCIOCData},
    {"IOC_FILES", "decryptCBCIOCData", &ScriptValues::decryptCBCIOCData},
    {"TABLES", "format", &ScriptValues::format},
    {"TABLES", "keyBits", &ScriptValues::keyBits},
    {"RANDOM", "seed", &ScriptValues::seed},
    {"LOCK", "waitSeconds", &ScriptValues::lockWait},
};

// The table's row for a field (every field has one).
constexpr const ScriptKey& scriptKeyOf(std::string ScriptValues::*field) {
    for (const ScriptKey& row : kScriptKeys) {
        if (row.field == field) return row;
    }
    return kScriptKeys[0]; // not reached: every field is in the table
}
