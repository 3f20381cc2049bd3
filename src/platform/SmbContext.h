#pragma once

// libsmbclient for the network provider and for reading files on shares: one context per use,
// authenticating with Mallow's credentials.

#include "platform/SambaNetApi.h"

#include <libsmbclient.h>

#include <string>
#include <vector>

namespace mallow::platform {

/// The credentials handed in, else those of Mallow's credentials file, else USER and PASSWD.
NetCredentials Effective(const NetCredentials& handedIn);

struct SmbAuth
{
    NetCredentials credentials;
};

class SmbContext
{
public:
    SmbContext(const NetCredentials& credentials, unsigned timeoutMs);
    ~SmbContext();
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    struct Entry
    {
        unsigned type;
        std::string name, comment;
    };

    /// Every entry of a directory of the smb:// tree, or the errno of the failure.
    int List(const std::string& url, std::vector<Entry>& entries);
    /// The whole contents of a file of the smb:// tree, or the errno of the failure.
    int ReadAll(const std::string& url, std::string& bytes,
                std::size_t maxBytes = static_cast<std::size_t>(-1));
    const SmbAuth& Auth() const { return auth; }

private:
    SmbAuth auth;
    SMBCCTX* ctx;
};

} // namespace mallow::platform
