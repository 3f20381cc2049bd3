#pragma once

#include "platform/SambaNetApi.h"

#include <functional>
#include <string>

struct libnetapi_ctx;

namespace mallow::platform {

/// Whether a call that failed on a dead cached connection is made once more on a fresh one:
/// calls that only read are; calls that change something are not, since they may have been
/// carried out before the connection went.
enum class Retry { OnDeadConnection, Never };

using LibraryCall = std::function<NET_API_STATUS(libnetapi_ctx*, const std::string& host)>;

/// Runs one exchange of Samba's server library with `server` ("\\\\name", or empty for this
/// machine), under the process's one library context, within `options.timeoutMs` from the
/// moment of the call, the reachability probe, the connection and the pipe open included. An
/// exchange that runs out of time gives 121; a server that has just done so is not waited for
/// again within the same bound. The library's own printing is kept off the terminal, and a
/// failed connection reports the code a Windows client gets rather than the library's 1003.
/// Every code returned has a text in Mallow's message tables.
NET_API_STATUS CallServer(const SambaNetApi::Options& options, const char16_t* server,
                          const LibraryCall& call, Retry retry = Retry::OnDeadConnection);

} // namespace mallow::platform
