// The table-generation command: read the script, optionally merge the external
// coding files, generate and save the encryption tables, then the decryption
// tables, and close with a framed verdict.
#include "cli/generate_tables.h"

#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/secret_file.h"
#include "base/status.h"
#include "cli/messages.h"
#include "cli/command_files.h"
#include "cli/command_script.h"
#include "cli/failure_reasons.h"
#include "cli/seed_option.h"
#include "cli/table_format.h"
#include "cli/table_plans.h"
#include "coding/ecb_codings.h"
#include "emit/header_files.h"
#include "emit/save_messages.h"
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
        messages::failToOpenFile(out, direction.iocPath);
        return status;
    }
    if (status != STATUS_OK) return status;
    if (!isValidCodingSet(direction.inputSet) || !isValidCodingSet(direction.outputSet)) {
        messages::invalidCodingFile(out, direction.iocPath);
        return STATUS_INVALID_CODING;
    }
    return STATUS_OK;
}

// Every file the command reads or writes, for the one-file-one-role check.
std::vector<FileRole> fileRoles(const std::string& script, const std::vector<const std::string*>& templates,
                                const std::vector<std::string>& headers, const DirectionInput& encryption,
                                const DirectionInput& decryption) {
    std::vector<FileRole> roles = {{script, false}};
    for (const std::string* input : templates) roles.push_back({*input, false});
    for (const DirectionInput* direction : {&encryption, &decryption}) {
        if (direction->useIoc) roles.push_back({direction->iocPath, false});
    }
    for (const std::string& header : headers) roles.push_back({header, true});
    return roles;
}

// A template that exists but is no regular file (a FIFO, /dev/zero) is refused
// before anything is generated or written, as a template that cannot be opened.
int32_t refuseSpecialTemplates(const std::vector<const std::string*>& templates, std::ostream& out) {
    for (const std::string* path : templates) {
        if (isSpecialFile(*path)) {
            writeFailToOpen(out, *path);
            return STATUS_SAVE_FAILED;
        }
    }
    return STATUS_OK;
}

// The slot count a template declares for tag's table: the number of a "[n]"
// (blanks allowed) right behind the tag inside its placeholder, or -1 when there is none (no
// placeholder, a macro, or no dimension at all).
long declaredSlots(const std::string& templatePath, std::string_view tag) {
    std::string text;
    if (!readTemplateText(templatePath, text)) return -1;
    const size_t tagAt = text.find(tag);
    if (tagAt == std::string::npos) return -1;
    size_t at = tagAt + tag.size();
    const size_t closeAt = text.find('#', at);
    while (at < closeAt && text[at] == ' ') ++at;
    if (at >= closeAt || text[at] != '[') return -1;
    for (++at; at < closeAt && text[at] == ' ';) ++at;
    long value = 0;
    size_t digits = 0;
    for (; at < closeAt && text[at] >= '0' && text[at] <= '9' && digits < 6; ++at, ++digits) {
        value = value * 10 + (text[at] - '0');
    }
    while (at < closeAt && text[at] == ' ') ++at;
    return digits > 0 && at < closeAt && text[at] == ']' ? value : -1;
}

// With the longer keys, a template that declares its round, XOR or mix block
// with another literal slot count (an AES-128 template's [10], say) would give
// a header that a C compiler truncates with no more than a warning: it is
// refused before anything is written. The single tables have no slots, and
// AES-128 templates are taken as they always were.
int32_t checkTemplateSlots(const TablePlan& plan, std::ostream& out) {
    if (plan.rounds() == kAes128Rounds) return STATUS_OK;
    for (const bool encrypt : {true, false}) {
        for (const auto& [path, tag] : plan.templateTags(encrypt)) {
            if (tag == "#finalRoundTable#" || tag == "#invFirstRoundTable#") continue;
            const long declared = declaredSlots(*path, tag);
            if (declared < 0 || declared == roundSlotsOf(plan.rounds())) continue;
            messages::templateSlots(out, *path, declared, roundSlotsOf(plan.rounds()), keyBitsOfRounds(plan.rounds()));
            return STATUS_TEMPLATE_SLOTS;
        }
    }
    return STATUS_OK;
}

// After a failed save: header saving stops at the first template without its
// placeholder and leaves its saving line open; that template is named on err.
void reportFailedSave(const TemplateTags& tags, std::ostream& err) {
    for (const auto& [path, tag] : tags) {
        if (reportPlaceholderFault(*path, tag, err)) return;
    }
}

} // namespace

int32_t generateTables(const char* scriptPath, std::ostream& out, std::ostream& err) {
    TableGenerator generator(out);
    auto encryption = std::make_unique<DirectionInput>();
    auto decryption = std::make_unique<DirectionInput>();

    CommandScript script(scriptPath, out, err);
    using V = ScriptValues;
    script.require({&V::encryptKey, &V::decryptKey, &V::roundTableTpl, &V::roundTable, &V::xorTableTpl,
                    &V::xorTable, &V::finalRoundTableTpl, &V::finalRoundTable, &V::invRoundTableTpl,
                    &V::invRoundTable, &V::invXorTableTpl, &V::invXorTable, &V::invFirstRoundTableTpl,
                    &V::invFirstRoundTable, &V::useEncryptIOC, &V::useDecryptIOC});
    const ScriptValues& values = script.values();
    const std::string& encryptKey = values.encryptKey;
    const std::string& decryptKey = values.decryptKey;
    const HeaderFilePaths paths = {values.roundTableTpl,   values.xorTableTpl,   values.finalRoundTableTpl,
                                   values.invRoundTableTpl, values.invXorTableTpl, values.invFirstRoundTableTpl,
                                   values.roundTable,      values.xorTable,      values.finalRoundTable,
                                   values.invRoundTable,   values.invXorTable,   values.invFirstRoundTable};
    encryption->iocPath = values.encryptIOC;
    decryption->iocPath = values.decryptIOC;

    // The plan of the format and key size, chosen once: a malformed format or
    // key size is reported after the required values, which are then the
    // classic format's (of AES-128).
    const TableFormat planned = tableFormatOf(values.format).value_or(TableFormat::Classic);
    const int rounds = keyRoundsOf(values.keyBits).value_or(kAes128Rounds);
    const std::unique_ptr<TablePlan> plan = makeTablePlan(planned, rounds, paths, values, generator, out);
    script.require(plan->extraKeys());
    const std::vector<const std::string*> templates = plan->templates();
    const std::vector<std::string> headers = plan->headers();

    int32_t status = script.status();
    if (status == STATUS_OK) status = checkTableFormat(values.format, out);
    if (status == STATUS_OK) status = checkKeyBits(values.keyBits, out);
    if (status == STATUS_OK) {
        const int32_t encryptFlag = readUseFlag(script, &V::useEncryptIOC, encryption->useIoc, out);
        const int32_t decryptFlag = readUseFlag(script, &V::useDecryptIOC, decryption->useIoc, out);
        status = encryptFlag != STATUS_OK ? encryptFlag : decryptFlag;
    }
    if (status == STATUS_OK) {
        const int32_t encryptLength = checkKeyLength(script, &V::encryptKey, plan->rounds(), out);
        const int32_t decryptLength = checkKeyLength(script, &V::decryptKey, plan->rounds(), out);
        status = encryptLength != STATUS_OK ? encryptLength : decryptLength;
    }
    if (status == STATUS_OK) {
        status = checkFileRoles(fileRoles(script.path(), templates, headers, *encryption, *decryption), out);
    }
    if (status == STATUS_OK) {
        status = applySeedOption(script.profile(), generator.random(), out);
    }
    if (status == STATUS_OK) status = refuseSpecialTemplates(templates, out);
    if (status == STATUS_OK) status = checkTemplateSlots(*plan, out);

    if (status == STATUS_OK) {
        for (DirectionInput* input : {encryption.get(), decryption.get()}) {
            if (!input->useIoc) continue;
            const int32_t loaded = loadIocFile(*input, out);
            if (loaded != STATUS_OK) status = loaded;
        }
    }

    unsigned lockWait = kDefaultLockWaitSeconds;
    if (status == STATUS_OK) status = readLockWait(script, lockWait, out);
    // Another run writing the same headers waits here until this one is done.
    const OutputLocks locks(status == STATUS_OK ? headers : std::vector<std::string>{}, lockWait, &err);
    if (status == STATUS_OK) status = reportLocks(locks, out);
    auto inputOf = [](const DirectionInput& d) { return d.useIoc ? &d.inputSet : nullptr; };
    auto outputOf = [](const DirectionInput& d) { return d.useIoc ? &d.outputSet : nullptr; };

    // Both directions in turn: generate a direction's tables, then save its
    // headers; a direction that fails ends the run.
    for (const bool encrypt : {true, false}) {
        if (!encrypt) out << "\n";
        if (status != STATUS_OK) continue;
        const char* name = encrypt ? "ENCRYPT" : "DECRYPT";
        const DirectionInput& input = encrypt ? *encryption : *decryption;
        const std::string& key = encrypt ? encryptKey : decryptKey;
        status = plan->generate(encrypt, key.c_str(), inputOf(input), outputOf(input));
        if (status != STATUS_OK) {
            if (status == STATUS_BAD_KEY_TEXT) {
                reportBadKeyText(script.path(), scriptKeyOf(encrypt ? &V::encryptKey : &V::decryptKey), key, err);
            }
            messages::tablesGenerated(out, name, false);
            continue;
        }
        messages::tablesGenerated(out, name, true);
        status = plan->save(encrypt, out);
        if (status != STATUS_OK) reportFailedSave(plan->templateTags(encrypt), err);
        messages::tablesSaved(out, name, status == STATUS_OK);
    }
    messages::tablesVerdict(out, status);
    out.flush();
    return status;
}
