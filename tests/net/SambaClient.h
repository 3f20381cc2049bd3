#pragma once

#include <libsmbclient.h>

#include <fcntl.h>
#include <stdexcept>
#include <string>

namespace mallow::test {

/// The test's own SMB client: holds files open on the test server through libsmbclient.
class SambaClient
{
public:
    /// With a NetBIOS name, the client speaks NT1 over the session port 139, so that the
    /// server knows its sessions by that name rather than by address.
    SambaClient(std::string user, std::string password, const std::string& netbiosName = "")
        : user(std::move(user)), password(std::move(password)), ctx(smbc_new_context())
    {
        if (!ctx)
            throw std::runtime_error("no libsmbclient context");
        smbc_setTimeout(ctx, 10000);
        if (!netbiosName.empty()) {
            smbc_setNetbiosName(ctx, netbiosName.c_str());
            smbc_setPort(ctx, 139);
            smbc_setOptionProtocols(ctx, "NT1", "NT1");
        }
        smbc_setOptionUserData(ctx, this);
        smbc_setFunctionAuthDataWithContext(ctx, &SambaClient::Auth);
        if (!smbc_init_context(ctx))
            throw std::runtime_error("libsmbclient did not initialise");
    }
    ~SambaClient() { smbc_free_context(ctx, 1); }
    SambaClient(const SambaClient&) = delete;
    SambaClient& operator=(const SambaClient&) = delete;

    /// Opens (creating) a file below the share and keeps it open; null on failure.
    SMBCFILE* Open(const std::string& url)
    {
        return smbc_getFunctionOpen(ctx)(ctx, url.c_str(), O_RDWR | O_CREAT, 0644);
    }
    bool MakeFolder(const std::string& url)
    {
        return smbc_getFunctionMkdir(ctx)(ctx, url.c_str(), 0755) == 0 || errno == EEXIST;
    }
    long Write(SMBCFILE* file, const std::string& data)
    {
        return static_cast<long>(smbc_getFunctionWrite(ctx)(ctx, file, data.data(), data.size()));
    }
    /// Reads from the start of the file; -1 when the server no longer serves the handle.
    long Read(SMBCFILE* file)
    {
        char buffer[64];
        if (smbc_getFunctionLseek(ctx)(ctx, file, 0, SEEK_SET) < 0)
            return -1;
        return static_cast<long>(smbc_getFunctionRead(ctx)(ctx, file, buffer, sizeof buffer));
    }
    void Close(SMBCFILE* file) { smbc_getFunctionClose(ctx)(ctx, file); }

private:
    static void Auth(SMBCCTX* c, const char*, const char*, char*, int, char* u, int ul, char* p,
                     int pl)
    {
        auto* self = static_cast<SambaClient*>(smbc_getOptionUserData(c));
        std::snprintf(u, static_cast<std::size_t>(ul), "%s", self->user.c_str());
        std::snprintf(p, static_cast<std::size_t>(pl), "%s", self->password.c_str());
    }
    std::string user, password;
    SMBCCTX* ctx;
};

} // namespace mallow::test
