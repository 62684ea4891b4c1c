#include "support/reference_crypto.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>

namespace testsupport {

namespace {

const EVP_CIPHER* cipherFor(size_t keyLength, bool cbc) {
    switch (keyLength) {
    case 16: return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24: return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32: return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default: return nullptr;
    }
}

struct ContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

} // namespace

std::vector<uint8_t> referenceAes(bool encrypt, const std::vector<uint8_t>& key, const uint8_t* iv,
                                const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> failed(data.size(), 0);
    const EVP_CIPHER* cipher = cipherFor(key.size(), iv != kEcb);
    if (cipher == nullptr || data.size() % 16 != 0) {
        ADD_FAILURE() << "referenceAes (OpenSSL): key of " << key.size() << " bytes, data of " << data.size() << " bytes";
        return failed;
    }
    const std::unique_ptr<EVP_CIPHER_CTX, ContextFree> ctx(EVP_CIPHER_CTX_new());
    std::vector<uint8_t> out(data.size() + 16);
    int written = 0;
    int tail = 0;
    const bool ok = ctx != nullptr &&
                    EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key.data(), iv, encrypt ? 1 : 0) == 1 &&
                    EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
                    EVP_CipherUpdate(ctx.get(), out.data(), &written, data.data(),
                                     static_cast<int>(data.size())) == 1 &&
                    EVP_CipherFinal_ex(ctx.get(), out.data() + written, &tail) == 1 &&
                    static_cast<size_t>(written) + static_cast<size_t>(tail) == data.size();
    if (!ok) {
        ADD_FAILURE() << "referenceAes (OpenSSL): an OpenSSL call failed";
        return failed;
    }
    out.resize(data.size());
    return out;
}

std::vector<uint8_t> referenceDigest(Digest kind, const void* data, size_t size) {
    std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    const EVP_MD* md = kind == Digest::md5 ? EVP_md5() : EVP_sha256();
    if (EVP_Digest(data, size, digest.data(), &length, md, nullptr) != 1) {
        ADD_FAILURE() << "referenceDigest (OpenSSL): EVP_Digest failed";
        length = 0;
    }
    digest.resize(length);
    return digest;
}

} // namespace testsupport
