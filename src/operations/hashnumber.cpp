#include "hashnumber.h"

#include <array>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <stdexcept>

namespace orvane {

namespace {

// A SipHash context holding this process's key; every number is computed on a copy of it.
class KeyedSipHash
{
public:
    KeyedSipHash()
    {
        std::array<unsigned char, 16> key {};
        if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1)
            throw std::runtime_error("no random key for the hash number");
        EVP_MAC* mac = EVP_MAC_fetch(nullptr, "SIPHASH", nullptr);
        if (!mac)
            throw std::runtime_error("OpenSSL provides no SipHash");
        m_context = EVP_MAC_CTX_new(mac);
        EVP_MAC_free(mac);
        std::size_t outputSize = 8;
        const OSSL_PARAM params[] = {
            OSSL_PARAM_construct_size_t(OSSL_MAC_PARAM_SIZE, &outputSize),
            OSSL_PARAM_construct_end(),
        };
        if (!m_context || EVP_MAC_init(m_context, key.data(), key.size(), params) != 1)
            throw std::runtime_error("SipHash could not be keyed");
    }
    ~KeyedSipHash()
    {
        EVP_MAC_CTX_free(m_context);
    }
    KeyedSipHash(const KeyedSipHash&) = delete;
    KeyedSipHash& operator=(const KeyedSipHash&) = delete;

    std::int64_t operator()(const Digest& digest) const
    {
        EVP_MAC_CTX* context = EVP_MAC_CTX_dup(m_context);
        std::array<unsigned char, 8> out {};
        std::size_t length = 0;
        const bool ok = context && EVP_MAC_update(context, digest.data(), digest.size()) == 1
            && EVP_MAC_final(context, out.data(), &length, out.size()) == 1 && length == out.size();
        EVP_MAC_CTX_free(context);
        if (!ok)
            throw std::runtime_error("SipHash failed");
        std::uint64_t value = 0;
        for (std::size_t i = out.size(); i-- > 0;)
            value = (value << 8) | out[i];
        return static_cast<std::int64_t>(value);
    }

private:
    EVP_MAC_CTX* m_context = nullptr;
};

} // namespace

std::int64_t hashNumber(const Digest& digest)
{
    static const KeyedSipHash keyed;
    return keyed(digest);
}

} // namespace orvane
