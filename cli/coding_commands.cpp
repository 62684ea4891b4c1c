// The coding-generation commands. Each seeds its own random source, generates
// the codings of the encryption direction, writes its files, then the same for
// the decryption direction; a failure in the encryption direction leaves the
// decryption files untouched. Files are replaced through the secret-file writer
// (private, all at once), a direction's files together.
#include "cli/coding_commands.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/secret_file.h"
#include "base/status.h"
#include "cli/command_files.h"
#include "cli/command_script.h"
#include "cli/seed_option.h"
#include "coding/cbc_codings.h"
#include "coding/ecb_codings.h"

namespace {

// Reports a failed write of a coding file; returns its status.
int32_t reportWrite(int32_t status, const std::string& path, std::ostream& out) {
    if (status == STATUS_OPEN_FAILED) out << "FAIL TO OPEN FILE " << path << " \n";
    if (status == STATUS_WRITE_FAILED) out << "FAIL TO WRITE FILE " << path << " \n";
    return status;
}

// Renames a direction's coding files into place; a failure names the file (or
// folder) on standard output and says why on the error stream.
int32_t commitCodingFiles(PendingFile* const group[], size_t count, std::ostream& out, std::ostream& err) {
    CommitFailure failure;
    if (commitFiles(group, count, &failure) == FileResult::ok) return STATUS_OK;
    err << "tabrix: cannot write '" << failure.path << "': " << failure.reason << "\n" << std::flush;
    return reportWrite(STATUS_WRITE_FAILED, failure.path, out);
}

struct EcbSets {
    CodingSet encryptInput, encryptOutput, decryptInput, decryptOutput;
};

struct CbcSets {
    CbcTriple encryption, decryption;
};

} // namespace

// The ECB lines read "EBC-COMPLIANT" except the encryption success line, which
// reads "ECB-COMPLIANT": kept as they are on purpose, since scripts that run the
// tool match these lines word for word.
int32_t generateEcbCodings(const char* scriptPath, std::ostream& out, std::ostream& err) {
    RandomSource random;
    auto sets = std::make_unique<EcbSets>();
    CommandScript script(scriptPath, out, err);
    script.require({&ScriptValues::encryptIOC, &ScriptValues::decryptIOC});
    const std::string& encryptIoc = script.values().encryptIOC;
    const std::string& decryptIoc = script.values().decryptIOC;
    int32_t status = script.status();
    if (status == STATUS_OK) {
        status = checkFileRoles({{script.path(), false}, {encryptIoc, true}, {decryptIoc, true}}, out);
    }
    if (status == STATUS_OK) status = applySeedOption(script.profile(), random, out);
    unsigned lockWait = kDefaultLockWaitSeconds;
    if (status == STATUS_OK) status = readLockWait(script, lockWait, out);
    const OutputLocks locks(status == STATUS_OK ? std::vector{encryptIoc, decryptIoc} : std::vector<std::string>{},
                            lockWait, &err);
    if (status == STATUS_OK) status = reportLocks(locks, out);

    // One direction: generate the pair (which cannot fail), then replace its IOC file.
    auto direction = [&](CodingSet& input, CodingSet& output, const std::string& path) {
        makeEcbCodings(random, input, output);
        PendingFile file;
        const int32_t opened = reportWrite(openIocFile(file, path, input, output), path, out);
        if (opened != STATUS_OK) return opened;
        PendingFile* group[] = {&file};
        return commitCodingFiles(group, 1, out, err);
    };

    bool encryptionDone = false;
    if (status == STATUS_OK) {
        status = direction(sets->encryptInput, sets->encryptOutput, encryptIoc);
        if (status == STATUS_OK) {
            out << "OK: MARLOAES ECB-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n";
            encryptionDone = true;
        }
    }
    if (encryptionDone) {
        status = direction(sets->decryptInput, sets->decryptOutput, decryptIoc);
        if (status == STATUS_OK) {
            out << "OK: MARLOAES EBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n";
            out.flush();
            return STATUS_OK;
        }
    } else {
        out << "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION)\n";
    }
    out << "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION)\n";
    out.flush();
    return status;
}

int32_t generateCbcCodings(const char* scriptPath, std::ostream& out, std::ostream& err) {
    RandomSource random;
    auto sets = std::make_unique<CbcSets>();
    CommandScript script(scriptPath, out, err);
    script.require({&ScriptValues::encryptIOC, &ScriptValues::encryptCBCIOCData, &ScriptValues::decryptIOC,
                    &ScriptValues::decryptCBCIOCData});
    const std::string& encryptIoc = script.values().encryptIOC;
    const std::string& encryptData = script.values().encryptCBCIOCData;
    const std::string& decryptIoc = script.values().decryptIOC;
    const std::string& decryptData = script.values().decryptCBCIOCData;
    int32_t status = script.status();
    if (status == STATUS_OK) {
        status = checkFileRoles({{script.path(), false},
                                 {encryptIoc, true},
                                 {encryptData, true},
                                 {decryptIoc, true},
                                 {decryptData, true}},
                                out);
    }
    if (status == STATUS_OK) status = applySeedOption(script.profile(), random, out);
    unsigned lockWait = kDefaultLockWaitSeconds;
    if (status == STATUS_OK) status = readLockWait(script, lockWait, out);
    const OutputLocks locks(status == STATUS_OK ? std::vector{encryptIoc, encryptData, decryptIoc, decryptData}
                                                : std::vector<std::string>{},
                            lockWait, &err);
    if (status == STATUS_OK) status = reportLocks(locks, out);

    // One direction: generate the triple, write the IOC file (a failure there is
    // reported and the data file is still tried, so that both failures show),
    // then the data file. The pair is renamed into place only when both are
    // complete: a direction that fails changes neither file, so an IOC file and a
    // data file always belong together.
    auto direction = [&](CipherDirection which, CbcTriple& triple, const std::string& iocPath,
                         const std::string& dataPath) {
        int32_t result = makeCbcTriple(random, which, triple);
        if (result != STATUS_OK) return result;
        PendingFile iocFile;
        PendingFile dataFile;
        result = reportWrite(openIocFile(iocFile, iocPath, triple.input, triple.output), iocPath, out);
        const int32_t dataResult = reportWrite(openCbcDataFile(dataFile, dataPath, triple.data), dataPath, out);
        if (dataResult != STATUS_OK) return dataResult;
        if (result != STATUS_OK) return result;
        PendingFile* group[] = {&iocFile, &dataFile};
        return commitCodingFiles(group, 2, out, err);
    };

    bool encryptionDone = false;
    if (status == STATUS_OK) {
        status = direction(CipherDirection::encryption, sets->encryption, encryptIoc, encryptData);
        if (status == STATUS_OK) {
            out << "OK: MARLOAES CBC-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n";
            encryptionDone = true;
        }
    }
    if (encryptionDone) {
        status = direction(CipherDirection::decryption, sets->decryption, decryptIoc, decryptData);
        if (status == STATUS_OK) {
            out << "OK: MARLOAES CBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n";
            out.flush();
            return STATUS_OK;
        }
    } else {
        out << "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION) (" << exitStatusOf(status)
            << ")\n";
    }
    out << "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION) (" << exitStatusOf(status)
        << ")\n";
    out.flush();
    return status;
}
