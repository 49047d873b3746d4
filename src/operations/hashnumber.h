#pragma once

#include "integrity/filedigest.h"

#include <cstdint>

namespace orvane {

/*!
 * A signed 64-bit number that stands for a digest in Tag's folder report: SipHash-2-4 of the digest's 32
 * bytes under a key drawn at random once per process. The same digest gives the same number within one
 * process and, by design, a different one in the next. It is never stored or compared.
 */
[[nodiscard]] std::int64_t hashNumber(const Digest& digest);

} // namespace orvane
