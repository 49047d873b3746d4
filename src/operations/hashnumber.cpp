#include "hashnumber.h"

#include <array>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace orvane {

namespace {

// A keyed MAC context holding this process's random key; every number is computed on a copy of it.
class KeyedHash
{
public:
    KeyedHash()
    {
        std::array<unsigned char, 16> key {};
        if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1) {
            m_failure = Failure { 0, "OpenSSL offers no random bytes" };
            return;
        }
        if (!keyed(true, key) && !keyed(false, key))
            m_failure = Failure { 0, "OpenSSL offers neither SipHash nor HMAC-SHA-256" };
    }
    ~KeyedHash()
    {
        EVP_MAC_CTX_free(m_context);
    }
    KeyedHash(const KeyedHash&) = delete;
    KeyedHash& operator=(const KeyedHash&) = delete;

    const std::optional<Failure>& failure() const
    {
        return m_failure;
    }

    Result<std::int64_t> operator()(const Digest& digest) const
    {
        if (m_failure)
            return *m_failure;
        EVP_MAC_CTX* context = EVP_MAC_CTX_dup(m_context);
        std::array<unsigned char, EVP_MAX_MD_SIZE> out {};
        std::size_t length = 0;
        const bool ok = context && EVP_MAC_update(context, digest.data(), digest.size()) == 1
            && EVP_MAC_final(context, out.data(), &length, out.size()) == 1 && length >= 8;
        EVP_MAC_CTX_free(context);
        if (!ok)
            return Failure { 0, "the hash number could not be computed" };
        // The first eight output bytes, least significant first.
        std::uint64_t value = 0;
        for (std::size_t i = 8; i-- > 0;)
            value = (value << 8) | out[i];
        return static_cast<std::int64_t>(value);
    }

private:
    // SipHash is asked for 8 output bytes; HMAC is told its digest, SHA-256, and truncated when read.
    bool keyed(bool sipHash, const std::array<unsigned char, 16>& key)
    {
        EVP_MAC* mac = EVP_MAC_fetch(nullptr, sipHash ? "SIPHASH" : "HMAC", nullptr);
        if (!mac)
            return false;
        EVP_MAC_CTX* context = EVP_MAC_CTX_new(mac);
        EVP_MAC_free(mac);
        std::size_t outputSize = 8;
        char sha256[] = "SHA256";
        const OSSL_PARAM params[] = {
            sipHash ? OSSL_PARAM_construct_size_t(OSSL_MAC_PARAM_SIZE, &outputSize)
                    : OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, sha256, 0),
            OSSL_PARAM_construct_end(),
        };
        if (!context || EVP_MAC_init(context, key.data(), key.size(), params) != 1) {
            EVP_MAC_CTX_free(context);
            return false;
        }
        m_context = context;
        return true;
    }

    EVP_MAC_CTX* m_context = nullptr;
    std::optional<Failure> m_failure;
};

const KeyedHash& keyedHash()
{
    static const KeyedHash keyed;
    return keyed;
}

} // namespace

Result<std::int64_t> hashNumber(const Digest& digest)
{
    return keyedHash()(digest);
}

std::optional<Failure> checkCryptoAvailable()
{
    if (auto failure = checkSha256Available())
        return failure;
    return keyedHash().failure();
}

} // namespace orvane
