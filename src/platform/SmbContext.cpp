#include "platform/SmbContext.h"

#include "platform/SambaOutput.h"
#include "util/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <utility>

namespace mallow::platform {

namespace {

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

void SmbAuthenticate(SMBCCTX* ctx, const char*, const char*, char* workgroup, int workgroupLength,
                  char* user, int userLength, char* password, int passwordLength)
{
    const auto* auth = static_cast<SmbAuth*>(smbc_getOptionUserData(ctx));
    if (!auth)
        return;
    auto put = [](char* target, int length, const std::string& value) {
        if (length > 0 && !value.empty())
            std::snprintf(target, static_cast<std::size_t>(length), "%s", value.c_str());
    };
    put(workgroup, workgroupLength, auth->credentials.domain);
    put(user, userLength, auth->credentials.user);
    put(password, passwordLength, auth->credentials.password);
}

} // namespace

NetCredentials Effective(const NetCredentials& handedIn)
{
    if (!handedIn.user.empty())
        return handedIn;
    if (auto file = ReadCredentialsFile())
        return *file;
    NetCredentials fromEnvironment;
    fromEnvironment.user = Text(std::getenv("USER"));
    fromEnvironment.password = Text(std::getenv("PASSWD"));
    return fromEnvironment;
}

SmbContext::SmbContext(const NetCredentials& credentials, unsigned timeoutMs)
    : auth{Effective(credentials)}, ctx((UseSambaLibraries(), smbc_new_context()))
{
    if (!ctx)
        return;
    smbc_setTimeout(ctx, static_cast<int>(timeoutMs));
    smbc_setOptionUserData(ctx, &auth);
    smbc_setFunctionAuthDataWithContext(ctx, SmbAuthenticate);
    smbc_setOptionNoAutoAnonymousLogin(ctx, 0);
    if (!smbc_init_context(ctx)) {
        smbc_free_context(ctx, 1);
        ctx = nullptr;
    }
}

SmbContext::~SmbContext()
{
    if (ctx)
        smbc_free_context(ctx, 1);
}

int SmbContext::List(const std::string& url, std::vector<Entry>& entries)
{
    if (!ctx)
        return ENOMEM;
    const SambaOutputCapture quiet;
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str());
    if (!dir)
        return errno ? errno : EIO;
    while (smbc_dirent* d = smbc_getFunctionReaddir(ctx)(ctx, dir))
        entries.push_back({d->smbc_type, d->name, d->comment ? d->comment : ""});
    smbc_getFunctionClosedir(ctx)(ctx, dir);
    return 0;
}

int SmbContext::ReadAll(const std::string& url, std::string& bytes, std::size_t maxBytes)
{
    if (!ctx)
        return ENOMEM;
    const SambaOutputCapture quiet;
    SMBCFILE* file = smbc_getFunctionOpen(ctx)(ctx, url.c_str(), O_RDONLY, 0);
    if (!file)
        return errno ? errno : EIO;
    char buffer[65536];
    int rc = 0;
    while (bytes.size() < maxBytes) {
        const ssize_t n = smbc_getFunctionRead(ctx)(
            ctx, file, buffer, std::min(sizeof buffer, maxBytes - bytes.size()));
        if (n < 0)
            rc = errno ? errno : EIO;
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    smbc_getFunctionClose(ctx)(ctx, file);
    return rc;
}

std::string ReadShareFile(const std::string& unc, const NetCredentials& credentials,
                          unsigned timeoutMs, std::size_t maxBytes)
{
    std::string url = "smb:" + unc;
    std::replace(url.begin(), url.end(), '\\', '/');
    // One context is kept for the same credentials, so that its connection to a server serves
    // the next read too; a read that fails on it is tried once more on a fresh one, in case
    // the server was restarted in between.
    static std::mutex mutex;
    static std::unique_ptr<SmbContext> kept;
    static std::pair<NetCredentials, unsigned> keptFor;
    std::lock_guard lock(mutex);
    int rc = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!kept || keptFor != std::pair(credentials, timeoutMs) || attempt > 0) {
            kept = std::make_unique<SmbContext>(credentials, timeoutMs);
            keptFor = {credentials, timeoutMs};
        }
        std::string bytes;
        if ((rc = kept->ReadAll(url, bytes, maxBytes)) == 0)
            return bytes;
        if (rc == ENOENT || rc == EACCES || rc == EPERM || rc == ENOTDIR)
            break;
    }
    RaiseFileError(rc, "ReadShareFile");
}

} // namespace mallow::platform
