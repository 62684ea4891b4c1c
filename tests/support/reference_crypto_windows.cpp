#include "support/reference_crypto.h"

#include <windows.h>

#include <bcrypt.h>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

// Closes an algorithm provider and a key when the call is done.
struct Provider {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
    ~Provider() {
        if (key != nullptr) BCryptDestroyKey(key);
        if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

} // namespace

std::vector<uint8_t> referenceAes(bool encrypt, const std::vector<uint8_t>& key, const uint8_t* iv,
                                  const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> failed(data.size(), 0);
    if ((key.size() != 16 && key.size() != 24 && key.size() != 32) || data.size() % 16 != 0) {
        ADD_FAILURE() << "referenceAes: key of " << key.size() << " bytes, data of " << data.size() << " bytes";
        return failed;
    }
    if (data.empty()) return {};
    Provider cng;
    const wchar_t* mode = iv != kEcb ? BCRYPT_CHAIN_MODE_CBC : BCRYPT_CHAIN_MODE_ECB;
    std::vector<uint8_t> chain(16, 0);
    if (iv != kEcb) chain.assign(iv, iv + 16);
    std::vector<uint8_t> input(data);
    std::vector<uint8_t> out(data.size());
    ULONG written = 0;
    const ULONG modeBytes = static_cast<ULONG>((wcslen(mode) + 1) * sizeof(wchar_t));
    bool ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&cng.algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
              BCRYPT_SUCCESS(BCryptSetProperty(cng.algorithm, BCRYPT_CHAINING_MODE,
                                               reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)), modeBytes, 0)) &&
              BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(cng.algorithm, &cng.key, nullptr, 0,
                                                        const_cast<PUCHAR>(key.data()),
                                                        static_cast<ULONG>(key.size()), 0));
    if (ok) {
        PUCHAR chainBytes = iv != kEcb ? chain.data() : nullptr;
        const ULONG chainSize = iv != kEcb ? 16 : 0;
        const ULONG size = static_cast<ULONG>(input.size());
        ok = BCRYPT_SUCCESS(encrypt ? BCryptEncrypt(cng.key, input.data(), size, nullptr, chainBytes, chainSize,
                                                    out.data(), size, &written, 0)
                                    : BCryptDecrypt(cng.key, input.data(), size, nullptr, chainBytes, chainSize,
                                                    out.data(), size, &written, 0)) &&
             written == size;
    }
    if (!ok) {
        ADD_FAILURE() << "referenceAes (CNG): a CNG call failed";
        return failed;
    }
    return out;
}

std::vector<uint8_t> referenceDigest(Digest kind, const void* data, size_t size) {
    Provider cng;
    std::vector<uint8_t> digest(kind == Digest::md5 ? 16 : 32);
    const bool ok =
        BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(
            &cng.algorithm, kind == Digest::md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(BCryptHash(cng.algorithm, nullptr, 0, static_cast<PUCHAR>(const_cast<void*>(data)),
                                  static_cast<ULONG>(size), digest.data(), static_cast<ULONG>(digest.size())));
    if (!ok) {
        ADD_FAILURE() << "referenceDigest (CNG): a CNG call failed";
        digest.clear();
    }
    return digest;
}

} // namespace testsupport
