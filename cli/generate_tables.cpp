// The table-generation command: read the script, optionally merge the external
// coding files, generate and save the encryption tables, then the decryption
// tables, and close with a framed verdict.
#include "cli/generate_tables.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "aesref/status.h"
#include "cli/profile_reader.h"
#include "cli/seed_option.h"
#include "coding/ecb_codings.h"
#include "emit/header_files.h"
#include "wbgen/table_generator.h"

namespace {

// What one direction takes from the script and its coding file.
struct DirectionInput {
    bool useIoc = false;
    std::string iocPath;
    CodingSet inputSet{};
    CodingSet outputSet{};
};

// Reads one IOC file into the direction's sets; prints the failures that have
// a message of their own. Returns 0 or the status of the failure.
int32_t loadIocFile(DirectionInput& direction, std::ostream& out) {
    const int32_t status = readIocFile(direction.iocPath, direction.inputSet, direction.outputSet);
    if (status == STATUS_OPEN_FAILED) {
        out << "FAIL TO OPEN FILE " << direction.iocPath << " \n";
        return status;
    }
    if (status != STATUS_OK) return status;
    if (!isValidCodingSet(direction.inputSet) || !isValidCodingSet(direction.outputSet)) {
        out << "INVALID CODING FILE " << direction.iocPath << " \n";
        return STATUS_INVALID_CODING;
    }
    return STATUS_OK;
}

// atoi semantics (leading blanks, optional sign, digits), without overflow.
bool flagIsOn(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10) != 0;
}

void writeVerdict(int32_t status, std::ostream& out) {
    const char* border = " ----------------------------------------\n";
    out << border;
    if (status == STATUS_OK) {
        out << "| MARLO AES TABLES GENERATED SUCCESSFULY |\n";
    } else {
        out << "| MARLO AES TABLES GENERATION FAIL WITH " << status << " |\n";
    }
    out << border;
}

} // namespace

int32_t generateTables(const char* scriptPath, std::ostream& out) {
    TableGenerator generator(out);
    int32_t status = STATUS_OK;
    auto encryption = std::make_unique<DirectionInput>();
    auto decryption = std::make_unique<DirectionInput>();

    std::string script;
    makeAbsolutePath(scriptPath, script);
    out << "Reading '" << script << "' ...\n";

    const IniProfile profile(script);
    auto required = [&](const char* section, const char* key) {
        std::string value = profile.read(section, key);
        if (value.empty()) status = STATUS_MISSING_VALUE;
        return value;
    };
    const std::string encryptKey = required("KEY_VALUE", "encryptKey");
    const std::string decryptKey = required("KEY_VALUE", "decryptKey");
    HeaderFilePaths paths;
    paths.roundTableTpl = required("HEADER_FILES", "roundTableTpl");
    paths.roundTable = required("HEADER_FILES", "roundTable");
    paths.xorTableTpl = required("HEADER_FILES", "xorTableTpl");
    paths.xorTable = required("HEADER_FILES", "xorTable");
    paths.finalRoundTableTpl = required("HEADER_FILES", "finalRoundTableTpl");
    paths.finalRoundTable = required("HEADER_FILES", "finalRoundTable");
    paths.invRoundTableTpl = required("HEADER_FILES", "invRoundTableTpl");
    paths.invRoundTable = required("HEADER_FILES", "invRoundTable");
    paths.invXorTableTpl = required("HEADER_FILES", "invXorTableTpl");
    paths.invXorTable = required("HEADER_FILES", "invXorTable");
    paths.invFirstRoundTableTpl = required("HEADER_FILES", "invFirstRoundTableTpl");
    paths.invFirstRoundTable = required("HEADER_FILES", "invFirstRoundTable");
    encryption->useIoc = flagIsOn(required("IOC_FILES", "useEncryptIOC"));
    decryption->useIoc = flagIsOn(required("IOC_FILES", "useDecryptIOC"));
    encryption->iocPath = profile.read("IOC_FILES", "encryptIOC");
    decryption->iocPath = profile.read("IOC_FILES", "decryptIOC");

    if (status == STATUS_OK) {
        status = applySeedOption(profile, generator.random(), out);
    }

    if (status == STATUS_OK) {
        for (DirectionInput* direction : {encryption.get(), decryption.get()}) {
            if (!direction->useIoc) continue;
            const int32_t loaded = loadIocFile(*direction, out);
            if (loaded != STATUS_OK) status = loaded;
        }
    }

    auto storage = std::make_unique<TableStorage>();
    auto inputOf = [](const DirectionInput& d) { return d.useIoc ? &d.inputSet : nullptr; };
    auto outputOf = [](const DirectionInput& d) { return d.useIoc ? &d.outputSet : nullptr; };

    if (status == STATUS_OK) {
        status = generator.generateEncryptionTables(encryptKey.c_str(), *storage,
                                                    inputOf(*encryption), outputOf(*encryption));
        if (status != STATUS_OK) {
            out << "MARLO AES ENCRYPT TABLES NOT GENERATED\n";
        } else {
            out << "MARLO AES ENCRYPT TABLES GENERATED\n";
            status = saveEncryptionHeaders(paths, *storage, out);
            out << (status != STATUS_OK ? "MARLO AES ENCRYPT TABLES NOT SAVED\n"
                                        : "MARLO AES ENCRYPT TABLES SAVED\n");
        }
    }
    out << "\n";
    if (status == STATUS_OK) {
        status = generator.generateDecryptionTables(decryptKey.c_str(), *storage,
                                                    inputOf(*decryption), outputOf(*decryption));
        if (status != STATUS_OK) {
            out << "MARLO AES DECRYPT TABLES NOT GENERATED\n";
        } else {
            out << "MARLO AES DECRYPT TABLES GENERATED\n";
            status = saveDecryptionHeaders(paths, *storage, out);
            out << (status != STATUS_OK ? "MARLO AES DECRYPT TABLES NOT SAVED\n"
                                        : "MARLO AES DECRYPT TABLES SAVED\n");
        }
    }
    writeVerdict(status, out);
    out.flush();
    return status;
}
