#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libnetapi_ctx;

namespace mallow::platform {

/// Sends one request of the server service (srvsvc) to `server` over the server library's
/// cached connection and returns the reply's stub data. Returns 0, or the code of a failure to
/// reach the service or of a failed exchange. `timeoutMs` (milliseconds) bounds the exchange.
std::uint32_t SrvsvcRawCall(libnetapi_ctx* ctx, const std::string& server, std::uint32_t opnum,
                            const std::vector<std::uint8_t>& request,
                            std::vector<std::uint8_t>& reply, unsigned timeoutMs);

} // namespace mallow::platform
