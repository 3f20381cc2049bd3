#include "platform/SambaRpc.h"

#include "platform/SambaStatus.h"

#include <cstddef>
#include <memory>

extern "C" {
#include <core/werror.h>
#include <rpc_common.h>
#include <talloc.h>

// Part of the server library's connection cache; its header does not publish it.
WERROR libnetapi_get_binding_handle(struct libnetapi_ctx* ctx, const char* server_name,
                                    const struct ndr_interface_table* table,
                                    struct dcerpc_binding_handle** binding_handle);
extern const struct ndr_interface_table ndr_table_srvsvc;
}

namespace mallow::platform {

namespace {

/// The code of an exchange that failed on the way: a broken connection or pipe, a timeout, or
/// the failed call.
std::uint32_t ExchangeFailure(std::uint32_t ntStatus)
{
    return CodeOfNtStatus(ntStatus, RPC_S_CALL_FAILED);
}

struct TallocFree
{
    void operator()(void* p) const { talloc_free(p); }
};

} // namespace

std::uint32_t SrvsvcRawCall(libnetapi_ctx* ctx, const std::string& server, std::uint32_t opnum,
                            const std::vector<std::uint8_t>& request,
                            std::vector<std::uint8_t>& reply, unsigned timeoutMs)
{
    dcerpc_binding_handle* handle = nullptr;
    const WERROR opened =
        libnetapi_get_binding_handle(ctx, server.c_str(), &ndr_table_srvsvc, &handle);
    if (!W_ERROR_IS_OK(opened) || !handle) {
        // The library reports a pipe it could not open as a missing printer destination.
        const std::uint32_t code = W_ERROR_V(opened);
        return code == NERR_DestNotFound || code == 0 ? RPC_S_SERVER_UNAVAILABLE : code;
    }
    dcerpc_binding_handle_set_timeout(handle, timeoutMs);

    std::unique_ptr<void, TallocFree> memory(talloc_new(nullptr));
    std::uint8_t* out = nullptr;
    std::size_t outLength = 0;
    std::uint32_t outFlags = 0;
    const NTSTATUS status =
        dcerpc_binding_handle_raw_call(handle, nullptr, opnum, 0, request.data(), request.size(),
                                       memory.get(), &out, &outLength, &outFlags);
    if (NT_STATUS_V(status) != 0)
        return ExchangeFailure(NT_STATUS_V(status));
    reply.assign(out, out + outLength);
    return 0;
}

} // namespace mallow::platform
