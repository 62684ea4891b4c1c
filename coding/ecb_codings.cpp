// External input/output codings for ECB use: two independent CodingSets, drawn
// input set first, each record by makeByteCoding, and their 16,384-byte IOC file.
#include "coding/ecb_codings.h"

#include "base/status.h"
#include "coding/coding_file.h"

static_assert(kIocFileSize == 2 * sizeof(CodingSet));

// makeByteCoding cannot fail, so neither can these; they keep a status for the
// callers that are written against one.
int32_t makeCodingSet(RandomSource& random, CodingSet& set) {
    for (ByteCoding& record : set.records) makeByteCoding(random, record.forward, record.inverse);
    return STATUS_OK;
}

int32_t makeEcbCodings(RandomSource& random, CodingSet& inputSet, CodingSet& outputSet) {
    makeCodingSet(random, inputSet);
    return makeCodingSet(random, outputSet);
}

int32_t readIocFile(const std::string& path, CodingSet& inputSet, CodingSet& outputSet) {
    CodingSet* const sets[] = {&inputSet, &outputSet};
    return readCodingSets(path, sets, 2);
}

int32_t writeIocFile(const std::string& path, const CodingSet& inputSet, const CodingSet& outputSet) {
    const CodingSet* const sets[] = {&inputSet, &outputSet};
    return writeCodingSets(path, sets, 2);
}

int32_t openIocFile(PendingFile& file, const std::string& path, const CodingSet& inputSet,
                    const CodingSet& outputSet) {
    const CodingSet* const sets[] = {&inputSet, &outputSet};
    return openCodingFile(file, path, sets, 2);
}
