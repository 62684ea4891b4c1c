// External input/output codings for ECB use: two independent CodingSets, drawn
// input set first, each record by makeByteCoding, and their 16,384-byte IOC file.
#include "coding/ecb_codings.h"

#include "coding/coding_file.h"

static_assert(kIocFileSize == 2 * sizeof(CodingSet));

int32_t makeCodingSet(RandomSource& random, CodingSet& set) {
    int32_t result = 0;
    for (ByteCoding& record : set.records) {
        const int32_t status = makeByteCoding(random, record.forward, record.inverse);
        if (status != 0) {
            result = status;
        }
    }
    return result;
}

int32_t makeEcbCodings(RandomSource& random, CodingSet& inputSet, CodingSet& outputSet) {
    const int32_t status = makeCodingSet(random, inputSet);
    if (status != 0) {
        return status;
    }
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
