#pragma once

#include "integrity/filedigest.h"
#include "integrity/result.h"

#include <cstdint>
#include <optional>

namespace orvane {

/*!
 * A signed 64-bit number that stands for a digest in Tag's folder report: SipHash-2-4 of the digest's 32
 * bytes under a key drawn at random once per process, or, where OpenSSL offers no SipHash (FIPS-only
 * systems), HMAC-SHA-256 under the same kind of key truncated to 64 bits. The same digest gives the same
 * number within one process and, by design, a different one in the next. It is never stored or compared.
 */
[[nodiscard]] Result<std::int64_t> hashNumber(const Digest& digest);

/// Whether the loaded OpenSSL offers what a run needs: SHA-256, random bytes and a keyed hash for the
/// hash number. The command line asks before it touches anything; a run without them could only fail.
[[nodiscard]] std::optional<Failure> checkCryptoAvailable();

} // namespace orvane
