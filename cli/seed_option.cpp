#include "cli/seed_option.h"

#include <string>

#include "aesref/aes128.h"
#include "base/script_keys.h"
#include "base/status.h"
#include "base/system_random.h"

int32_t applySeedOption(const ProfileReader& profile, RandomSource& random, std::ostream& out) {
    const ScriptKey& key = scriptKeyOf(&ScriptValues::seed);
    const std::string seed = profile.read(key.section, key.key);
    if (seed.empty()) return STATUS_OK;
    RandomState state{};
    if (seed == "system") {
        if (!fillSystemRandom(state.data(), state.size())) {
            out << "ERR: SYSTEM RANDOM SOURCE FAILED\n";
            return STATUS_SYSTEM_RANDOM_FAILED;
        }
    } else if (seed.size() != 32 || AES128_HexToKey(seed.c_str(), state.data()) != STATUS_OK) {
        out << "ERR: BAD SEED VALUE '" << seed << "'\n";
        return STATUS_BAD_SEED;
    }
    random.setState(state);
    return STATUS_OK;
}
