// Exit statuses of tabrix-audit. The audit reports whether it recovered a key;
// STATUS_OK (0) from aesref/status.h means every audited direction gave up its key.
#pragma once
#include <cstdint>

#include "aesref/status.h"

constexpr int32_t AUDIT_NOT_RECOVERED = 1;  // a direction's key was not recovered
constexpr int32_t AUDIT_CHECK_FAILED = 2;   // a recovered key or coding differs from --check/--ioc
constexpr int32_t AUDIT_BAD_HEADERS = 40;   // a header is unreadable, truncated or malformed
constexpr int32_t AUDIT_USAGE = 41;         // the command line is malformed
