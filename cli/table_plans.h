// The table formats and key sizes of "/g:", one plan for each pair, chosen once
// where the command starts: what the format reads from the script beyond the
// six tables' keys, the templates it fills and the headers it writes, the key
// size it takes, and how it generates and saves each direction into a table
// storage of its round count. The command runs whichever plan it was given and
// asks nothing more about the format or the key size; adding a format or a key
// size means adding a plan here.
#pragma once
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/script_keys.h"
#include "cli/table_format.h"
#include "coding/codings.h"
#include "emit/header_files.h"
#include "wbgen/table_generator.h"

// A direction's templates with their placeholder tags, in the order its
// headers are saved.
using TemplateTags = std::vector<std::pair<const std::string*, std::string_view>>;

class TablePlan {
public:
    virtual ~TablePlan() = default;

    // The script keys the format requires beyond the keys, the six tables'
    // templates and headers and the use flags, which every format requires.
    virtual std::vector<std::string ScriptValues::*> extraKeys() const = 0;
    // Every template, then every header, in the order the command checks them
    // (the six classic ones first, in HeaderFilePaths order).
    virtual std::vector<const std::string*> templates() const = 0;
    virtual std::vector<std::string> headers() const = 0;
    virtual TemplateTags templateTags(bool encrypt) const = 0;
    // R of the key size: 10, 12 or 14 (AES-128, -192, -256).
    virtual int rounds() const = 0;

    // One direction: its tables from keyText with the external codings (both
    // null, or both given), then its headers. Statuses as the generators' and
    // savers'.
    [[nodiscard]] virtual int32_t generate(bool encrypt, const char* keyText, const CodingSet* input,
                                           const CodingSet* output) = 0;
    [[nodiscard]] virtual int32_t save(bool encrypt, std::ostream& out) = 0;
};

// The plan of format and a key size of `rounds` rounds (10, 12 or 14) for a
// script's paths; its table storage is allocated here, on the heap. Every draw
// goes to generator's one random source; what the generators report goes to
// report.
std::unique_ptr<TablePlan> makeTablePlan(TableFormat format, int rounds, const HeaderFilePaths& paths,
                                         const ScriptValues& values, TableGenerator& generator,
                                         std::ostream& report);
