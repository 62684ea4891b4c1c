// The optional key `seed` in section RANDOM of a script, which
// replaces the clock seed of a command's random source:
//   absent or empty  the clock seed (unchanged);
//   "system"         16 bytes from the operating system's CSPRNG (getrandom);
//   32 hex digits    exactly that 16-byte state, for reproducible generation.
#pragma once
#include <cstdint>
#include <iostream>

#include "base/profile_reader.h"
#include "coding/random_source.h"

// Applies the script's seed to random. Anything else than the forms above writes
// "ERR: BAD SEED VALUE '<value>'\n" and returns STATUS_BAD_SEED; a CSPRNG
// failure writes "ERR: SYSTEM RANDOM SOURCE FAILED\n" and returns
// STATUS_SYSTEM_RANDOM_FAILED.
[[nodiscard]] int32_t applySeedOption(const ProfileReader& profile, RandomSource& random, std::ostream& out);
