// What a gray-box attacker sees of a running table network, and the one check
// every gray-box claim passes before a key is printed or counted.
//
// "plaintext known": the attacker handles plain blocks, because the tables
// take and give plain blocks or because the application codes and decodes in
// the same process. The audit codes and decodes with the coding files the user
// passes. "coded only": the attacker sees only the values entering and
// leaving the tables.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "audit/key_claim.h"
#include "audit/key_extraction.h"
#include "audit/traced_network.h"

// The external codings of a direction, from its IOC file: the forward tables
// of the input coding set (plain to coded) and the inverse tables of the output
// coding set (coded to plain), record 4·row + column.
struct ExternalCodings {
    CodingForward input{};
    CodingForward outputInverse{};
};

// Reads an IOC file (16,384 bytes: input coding set, then output coding set,
// each record a forward table and its inverse). 0; 16 when it cannot be read,
// 31 when it is shorter, 32 when a forward table is no bijection; error says
// which.
int32_t readExternalCodings(const std::string& path, ExternalCodings& codings, std::string& error);

// The blocks a view hands to and takes from the tables: codings null is the
// identity (coded only, or tables without external codings).
void codeInput(const ExternalCodings* codings, const uint8_t plain[16], uint8_t coded[16]);
void decodeOutput(const ExternalCodings* codings, const uint8_t coded[16], uint8_t plain[16]);

// The claim check of the gray-box attacks: true only when the tables,
// evaluated through the view's codings (none when null), compute AES
// under key (its inverse for decryption) on the audit's test blocks
// (claimKey). No key that fails it is printed, counted or written.
std::optional<ClaimedKey> claimGrayBoxKey(const NetworkTables& tables, Direction direction, const ExternalCodings* codings,
                     std::span<const uint8_t> key);
