// The two table formats as plans, each for the three key sizes: classic (six
// tables, three headers a direction) and mixed (the classic six with mixing
// bijections, and four more tables). A plan of R rounds holds a storage of R.
#include "cli/table_plans.h"

#include <cassert>

#include "emit/mixed_header_files.h"
#include "wbgen/mixed_table_generator.h"

namespace {

TemplateTags classicTags(bool encrypt, const HeaderFilePaths& paths) {
    if (encrypt) {
        return {{&paths.roundTableTpl, "#roundTables#"},
                {&paths.xorTableTpl, "#xorTables#"},
                {&paths.finalRoundTableTpl, "#finalRoundTable#"}};
    }
    return {{&paths.invRoundTableTpl, "#invRoundTables#"},
            {&paths.invXorTableTpl, "#invXorTables#"},
            {&paths.invFirstRoundTableTpl, "#invFirstRoundTable#"}};
}

template <int Rounds>
class ClassicPlan : public TablePlan {
public:
    ClassicPlan(const HeaderFilePaths& paths, TableGenerator& generator) : paths_(paths), generator_(generator) {}

    std::vector<std::string ScriptValues::*> extraKeys() const override { return {}; }
    std::vector<const std::string*> templates() const override {
        return {&paths_.roundTableTpl,    &paths_.xorTableTpl,    &paths_.finalRoundTableTpl,
                &paths_.invRoundTableTpl, &paths_.invXorTableTpl, &paths_.invFirstRoundTableTpl};
    }
    std::vector<std::string> headers() const override { return headerPaths(paths_); }
    TemplateTags templateTags(bool encrypt) const override { return classicTags(encrypt, paths_); }
    int rounds() const override { return Rounds; }

    int32_t generate(bool encrypt, const char* keyText, const CodingSet* input, const CodingSet* output) override {
        return encrypt ? generator_.generateEncryptionTables(keyText, *storage_, input, output)
                       : generator_.generateDecryptionTables(keyText, *storage_, input, output);
    }
    int32_t save(bool encrypt, std::ostream& out) override {
        return encrypt ? saveEncryptionHeaders(paths_, *storage_, out) : saveDecryptionHeaders(paths_, *storage_, out);
    }

private:
    HeaderFilePaths paths_;
    TableGenerator& generator_;
    std::unique_ptr<TableStorageOf<Rounds>> storage_ = std::make_unique<TableStorageOf<Rounds>>();
};

template <int Rounds>
class MixedPlan : public TablePlan {
public:
    MixedPlan(const HeaderFilePaths& paths, const ScriptValues& values, TableGenerator& generator,
              std::ostream& report)
        : paths_(paths), mixedPaths_(mixedHeaderFilePaths(values)), random_(generator.random()), report_(report) {}

    std::vector<std::string ScriptValues::*> extraKeys() const override {
        using V = ScriptValues;
        return {&V::mixTableTpl,    &V::mixTable,    &V::mixXorTableTpl,    &V::mixXorTable,
                &V::invMixTableTpl, &V::invMixTable, &V::invMixXorTableTpl, &V::invMixXorTable};
    }
    std::vector<const std::string*> templates() const override {
        return {&paths_.roundTableTpl,         &paths_.xorTableTpl,           &paths_.finalRoundTableTpl,
                &paths_.invRoundTableTpl,      &paths_.invXorTableTpl,        &paths_.invFirstRoundTableTpl,
                &mixedPaths_.mixTableTpl,      &mixedPaths_.mixXorTableTpl,   &mixedPaths_.invMixTableTpl,
                &mixedPaths_.invMixXorTableTpl};
    }
    std::vector<std::string> headers() const override {
        std::vector<std::string> all = headerPaths(paths_);
        for (const std::string& header : headerPaths(mixedPaths_)) all.push_back(header);
        return all;
    }
    TemplateTags templateTags(bool encrypt) const override {
        TemplateTags tags = classicTags(encrypt, paths_);
        if (encrypt) {
            tags.insert(tags.end(), {{&mixedPaths_.mixTableTpl, "#mixTables#"},
                                     {&mixedPaths_.mixXorTableTpl, "#mixXorTables#"}});
        } else {
            tags.insert(tags.end(), {{&mixedPaths_.invMixTableTpl, "#invMixTables#"},
                                     {&mixedPaths_.invMixXorTableTpl, "#invMixXorTables#"}});
        }
        return tags;
    }
    int rounds() const override { return Rounds; }

    int32_t generate(bool encrypt, const char* keyText, const CodingSet* input, const CodingSet* output) override {
        return encrypt ? generateMixedEncryptionTables(random_, keyText, *storage_, input, output, report_)
                       : generateMixedDecryptionTables(random_, keyText, *storage_, input, output, report_);
    }
    int32_t save(bool encrypt, std::ostream& out) override {
        return encrypt ? saveMixedEncryptionHeaders(paths_, mixedPaths_, *storage_, out)
                       : saveMixedDecryptionHeaders(paths_, mixedPaths_, *storage_, out);
    }

private:
    HeaderFilePaths paths_;
    MixedHeaderFilePaths mixedPaths_;
    RandomSource& random_;
    std::ostream& report_;
    std::unique_ptr<MixedTableStorageOf<Rounds>> storage_ = std::make_unique<MixedTableStorageOf<Rounds>>();
};

template <int Rounds>
std::unique_ptr<TablePlan> planOf(TableFormat format, const HeaderFilePaths& paths, const ScriptValues& values,
                                  TableGenerator& generator, std::ostream& report) {
    if (format == TableFormat::Mixed) return std::make_unique<MixedPlan<Rounds>>(paths, values, generator, report);
    return std::make_unique<ClassicPlan<Rounds>>(paths, generator);
}

} // namespace

std::unique_ptr<TablePlan> makeTablePlan(TableFormat format, int rounds, const HeaderFilePaths& paths,
                                         const ScriptValues& values, TableGenerator& generator,
                                         std::ostream& report) {
    switch (rounds) {
    case kAes192Rounds:
        return planOf<kAes192Rounds>(format, paths, values, generator, report);
    case kAes256Rounds:
        return planOf<kAes256Rounds>(format, paths, values, generator, report);
    default:
        assert(rounds == kAes128Rounds);
        return planOf<kAes128Rounds>(format, paths, values, generator, report);
    }
}
