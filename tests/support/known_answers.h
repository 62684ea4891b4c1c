// Published AES-128, AES-192 and AES-256 known answers shared by the tests.
#pragma once

namespace vectors {

// FIPS-197 Appendix C.1 (AES-128).
constexpr const char* kC1Key = "000102030405060708090a0b0c0d0e0f";
constexpr const char* kC1Plain = "00112233445566778899aabbccddeeff";
constexpr const char* kC1Cipher = "69c4e0d86a7b0430d8cdb78070b4c55a";

// NIST SP 800-38A F.2.1 (CBC-AES128.Encrypt) and F.2.2 (CBC-AES128.Decrypt):
// key, IV, four plaintext and ciphertext blocks.
constexpr const char* kCbcKey = "2b7e151628aed2a6abf7158809cf4f3c";
constexpr const char* kCbcIv = "000102030405060708090a0b0c0d0e0f";
constexpr const char* kCbcPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
constexpr const char* kCbcCipher =
    "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
    "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";

// NIST SP 800-38A F.5.1 (CTR-AES128.Encrypt) and F.5.2 (CTR-AES128.Decrypt), key
// kCbcKey: initial counter block, four plaintext and ciphertext blocks.
constexpr const char* kCtrCounter = "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";
constexpr const char* kCtrPlain = kCbcPlain;
constexpr const char* kCtrCipher =
    "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
    "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee";

// FIPS-197 Appendix C.2 (AES-192) and C.3 (AES-256); the plaintext is kC1Plain.
constexpr const char* kC2Key = "000102030405060708090a0b0c0d0e0f1011121314151617";
constexpr const char* kC2Cipher = "dda97ca4864cdfe06eaf70a0ec0d7191";
constexpr const char* kC3Key = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
constexpr const char* kC3Cipher = "8ea2b7ca516745bfeafc49904b496089";

// NIST SP 800-38A F.2.3/F.2.4 (CBC-AES192) and F.2.5/F.2.6 (CBC-AES256): key;
// the IV is kCbcIv and the plaintext kCbcPlain.
constexpr const char* kCbc192Key = "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
constexpr const char* kCbc192Cipher =
    "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
    "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd";
constexpr const char* kCbc256Key = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
constexpr const char* kCbc256Cipher =
    "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
    "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b";

// NIST SP 800-38A F.5.3/F.5.4 (CTR-AES192) and F.5.5/F.5.6 (CTR-AES256): keys
// kCbc192Key and kCbc256Key, the counter block kCtrCounter, the plaintext kCtrPlain.
constexpr const char* kCtr192Cipher =
    "1abc932417521ca24f2b0459fe7e6e0b090339ec0aa6faefd5ccc2c6f4ce8e94"
    "1e36b26bd1ebc670d1bd1d665620abf74f78a7f6d29809585a97daec58c6b050";
constexpr const char* kCtr256Cipher =
    "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
    "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6";

// The published vectors of each key size: the FIPS-197 example (plaintext
// kC1Plain), and the SP 800-38A key with its CBC (IV kCbcIv) and CTR (counter
// kCtrCounter) ciphertexts of kCbcPlain.
struct KeySizeVectors {
    const char* source;
    int keyBits;
    const char* fipsKey;
    const char* fipsCipher;
    const char* modeKey;
    const char* cbcCipher;
    const char* ctrCipher;
};

constexpr KeySizeVectors kKeySizeVectors[] = {
    {"FIPS-197 C.1, SP 800-38A F.2.1/F.2.2, F.5.1/F.5.2", 128, kC1Key, kC1Cipher, kCbcKey, kCbcCipher, kCtrCipher},
    {"FIPS-197 C.2, SP 800-38A F.2.3/F.2.4, F.5.3/F.5.4", 192, kC2Key, kC2Cipher, kCbc192Key, kCbc192Cipher,
     kCtr192Cipher},
    {"FIPS-197 C.3, SP 800-38A F.2.5/F.2.6, F.5.5/F.5.6", 256, kC3Key, kC3Cipher, kCbc256Key, kCbc256Cipher,
     kCtr256Cipher},
};

} // namespace vectors
