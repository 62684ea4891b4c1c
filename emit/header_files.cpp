// Header saving: each of the six tables reaches the runtime as a header made from
// a user template. The template marks the array with a placeholder: the table's
// tag (for instance "#roundTables#"), any text without "#", and one closing "#".
// Every copy of that placeholder loses its "#" characters, which leaves the array
// name and declarator, and the table text goes right behind the first copy.
//
// Templates are read as raw bytes and count up to their first NUL byte; headers
// are written as raw bytes, so they keep the template's own line endings (the
// inserted table text has line feeds only). Headers are written through the
// secret-file writer, a direction's three at once: a failing step leaves all
// three headers of its direction as they were.
#include "emit/header_files.h"

#include <functional>
#include <iostream>
#include <string_view>

#include "base/secret_file.h"
#include "base/status.h"
#include "emit/save_messages.h"
#include "emit/mixed_header_files.h"
#include "emit/table_text.h"

namespace {

// Renders one table as text; progress receives its marks, if it makes any.
using Renderer = std::function<int32_t(std::string& text, std::ostream& progress)>;

struct SaveStep {
    const std::string& templatePath;
    std::string_view tag;
    const std::string& headerPath;
    Renderer render;
};

// The renderer of each table shape; the block must outlive it.
template <size_t Slots>
Renderer rendererOf(const RoundTableSlot (&block)[Slots]) {
    return [&block](std::string& text, std::ostream& progress) { return formatRoundTables(block, text, progress); };
}
template <size_t Slots>
Renderer rendererOf(const XorTableSlot (&block)[Slots]) {
    return [&block](std::string& text, std::ostream& progress) { return formatXorTables(block, text, progress); };
}
Renderer rendererOf(const SingleTableBlock& block) {
    return [&block](std::string& text, std::ostream&) { return formatSingleRoundTable(block, text); };
}

// Every non-overlapping occurrence of from, scanning from the left, becomes to.
std::string replaceAll(const std::string& text, std::string_view from, std::string_view to) {
    std::string result;
    result.reserve(text.size());
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start);
        result.append(to);
        start = at + from.size();
    }
    result.append(text, start, std::string::npos);
    return result;
}

// Fills one template and writes it into a pending replacement of its header,
// which saveHeaders commits with the other two.
int32_t saveHeader(const SaveStep& step, PendingFile& header, std::ostream& out) {
    std::string text;
    if (!readTemplateText(step.templatePath, text)) {
        writeFailToOpen(out, step.templatePath);
        return STATUS_SAVE_FAILED;
    }

    // The saving line stays open: the formatter's marks and the result complete it.
    writeSavingLine(out, step.headerPath);

    const size_t insertAt = fillPlaceholder(text, step.tag);
    if (insertAt == std::string::npos) return STATUS_SAVE_FAILED;

    std::string tableText;
    const int32_t status = step.render(tableText, out);
    if (status != 0) return status;

    if (header.open(step.headerPath) != FileResult::ok) {
        writeSavingResult(out, false);
        writeFailToOpen(out, step.headerPath);
        return STATUS_SAVE_FAILED;
    }
    // The table text goes in at insertAt, written in place rather than copied in.
    header.write(text.data(), insertAt);
    header.write(tableText.data(), tableText.size());
    header.write(text.data() + insertAt, text.size() - insertAt);
    if (header.finish() != FileResult::ok) {
        writeSavingResult(out, false);
        writeFailToWrite(out, step.headerPath);
        return STATUS_SAVE_FAILED;
    }
    writeSavingResult(out, true);
    return STATUS_OK;
}

// The headers of a direction change together: each is written to its
// temporary, and only when all are complete are they renamed into place.
int32_t saveHeaders(const std::vector<SaveStep>& steps, std::ostream& out) {
    std::vector<PendingFile> headers(steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        const int32_t status = saveHeader(steps[i], headers[i], out);
        if (status != STATUS_OK) return status;
    }
    std::vector<PendingFile*> group;
    for (PendingFile& header : headers) group.push_back(&header);
    CommitFailure failure;
    if (commitFiles(group.data(), group.size(), &failure) != FileResult::ok) {
        // The header, folder or journal that failed, and on standard error why.
        writeFailToWrite(out, failure.path);
        writeCommitReason(std::cerr, failure.path, failure.reason);
        return STATUS_SAVE_FAILED;
    }
    return STATUS_OK;
}

// The save steps of a direction's three classic tables, in the order they run.
template <int Rounds>
std::vector<SaveStep> encryptionSteps(const HeaderFilePaths& paths, const EncryptionTableSetOf<Rounds>& t) {
    return {
        {paths.roundTableTpl, "#roundTables#", paths.roundTable, rendererOf(t.roundTables)},
        {paths.xorTableTpl, "#xorTables#", paths.xorTable, rendererOf(t.xorTables)},
        {paths.finalRoundTableTpl, "#finalRoundTable#", paths.finalRoundTable, rendererOf(t.finalRoundTable)},
    };
}

template <int Rounds>
std::vector<SaveStep> decryptionSteps(const HeaderFilePaths& paths, const DecryptionTableSetOf<Rounds>& t) {
    return {
        {paths.invRoundTableTpl, "#invRoundTables#", paths.invRoundTable, rendererOf(t.invRoundTables)},
        {paths.invXorTableTpl, "#invXorTables#", paths.invXorTable, rendererOf(t.invXorTables)},
        {paths.invFirstRoundTableTpl, "#invFirstRoundTable#", paths.invFirstRoundTable,
         rendererOf(t.invFirstRoundTable)},
    };
}

} // namespace

std::vector<std::string> headerPaths(const HeaderFilePaths& paths) {
    return {paths.roundTable,    paths.xorTable,    paths.finalRoundTable,
            paths.invRoundTable, paths.invXorTable, paths.invFirstRoundTable};
}

bool readTemplateText(const std::string& path, std::string& text) {
    if (readRegularFile(path, text) != FileResult::ok) return false;
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return true;
}

size_t fillPlaceholder(std::string& text, std::string_view tag) {
    const size_t tagAt = text.find(tag);
    if (tagAt == std::string::npos) return std::string::npos;
    const size_t closeAt = text.find('#', tagAt + tag.size());
    if (closeAt == std::string::npos) return std::string::npos;

    const std::string placeholder = text.substr(tagAt, closeAt - tagAt + 1);
    std::string replacement;
    for (char c : placeholder) {
        if (c != '#') replacement.push_back(c);
    }
    text = replaceAll(text, placeholder, replacement);
    // No copy of the placeholder can stand before the tag's first occurrence, so
    // the first replacement is at tagAt.
    return tagAt + replacement.size();
}

template <int Rounds>
int32_t saveEncryptionHeaders(HeaderFilePaths paths, const TableStorageOf<Rounds>& storage, std::ostream& out) {
    return saveHeaders(encryptionSteps(paths, storage.enc), out);
}

template <int Rounds>
int32_t saveDecryptionHeaders(HeaderFilePaths paths, const TableStorageOf<Rounds>& storage, std::ostream& out) {
    return saveHeaders(decryptionSteps(paths, storage.dec), out);
}

std::vector<std::string> headerPaths(const MixedHeaderFilePaths& paths) {
    return {paths.mixTable, paths.mixXorTable, paths.invMixTable, paths.invMixXorTable};
}

template <int Rounds>
int32_t saveMixedEncryptionHeaders(const HeaderFilePaths& paths, const MixedHeaderFilePaths& mixedPaths,
                                   const MixedTableStorageOf<Rounds>& storage, std::ostream& out) {
    std::vector<SaveStep> steps = encryptionSteps(paths, storage.tables.enc);
    steps.push_back({mixedPaths.mixTableTpl, "#mixTables#", mixedPaths.mixTable, rendererOf(storage.enc.mixTables)});
    steps.push_back({mixedPaths.mixXorTableTpl, "#mixXorTables#", mixedPaths.mixXorTable,
                     rendererOf(storage.enc.mixXorTables)});
    return saveHeaders(steps, out);
}

template <int Rounds>
int32_t saveMixedDecryptionHeaders(const HeaderFilePaths& paths, const MixedHeaderFilePaths& mixedPaths,
                                   const MixedTableStorageOf<Rounds>& storage, std::ostream& out) {
    std::vector<SaveStep> steps = decryptionSteps(paths, storage.tables.dec);
    steps.push_back({mixedPaths.invMixTableTpl, "#invMixTables#", mixedPaths.invMixTable,
                     rendererOf(storage.dec.invMixTables)});
    steps.push_back({mixedPaths.invMixXorTableTpl, "#invMixXorTables#", mixedPaths.invMixXorTable,
                     rendererOf(storage.dec.invMixXorTables)});
    return saveHeaders(steps, out);
}

// The savers of the three key sizes.
#define TABRIX_SAVERS_OF(R)                                                                                         \
    template int32_t saveEncryptionHeaders<R>(HeaderFilePaths, const TableStorageOf<R>&, std::ostream&);           \
    template int32_t saveDecryptionHeaders<R>(HeaderFilePaths, const TableStorageOf<R>&, std::ostream&);           \
    template int32_t saveMixedEncryptionHeaders<R>(const HeaderFilePaths&, const MixedHeaderFilePaths&,            \
                                                   const MixedTableStorageOf<R>&, std::ostream&);                 \
    template int32_t saveMixedDecryptionHeaders<R>(const HeaderFilePaths&, const MixedHeaderFilePaths&,            \
                                                   const MixedTableStorageOf<R>&, std::ostream&);
TABRIX_SAVERS_OF(kAes128Rounds)
TABRIX_SAVERS_OF(kAes192Rounds)
TABRIX_SAVERS_OF(kAes256Rounds)
#undef TABRIX_SAVERS_OF
