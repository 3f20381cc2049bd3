// GetUserInfo on the test server with 1, 10 and 100 handles held open on one database, against
// the server calls it must make (one EnumFiles and one EnumSessions per handle), made alone in
// the same run. Run by multiuser.sh, which starts the server and sets the credentials.
#include "multiuser/MultiUser.h"
#include "net/cNetCalls.h"
#include "util/MallowError.h"

#include <libsmbclient.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <vector>

namespace {

void Authenticate(SMBCCTX*, const char*, const char*, char*, int, char* user, int userLength,
                  char* password, int passwordLength)
{
    const char* u = std::getenv("USER");
    const char* p = std::getenv("PASSWD");
    std::snprintf(user, static_cast<std::size_t>(userLength), "%s", u ? u : "");
    std::snprintf(password, static_cast<std::size_t>(passwordLength), "%s", p ? p : "");
}

double BestMs(int runs, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    }
    return best;
}

} // namespace

int main()
{
    SMBCCTX* ctx = smbc_new_context();
    smbc_setTimeout(ctx, 20000);
    smbc_setFunctionAuthDataWithContext(ctx, Authenticate);
    if (!smbc_init_context(ctx))
        return 2;
    const std::string folder = "smb://127.0.0.1/Data/bench";
    smbc_getFunctionMkdir(ctx)(ctx, folder.c_str(), 0755);
    auto open = [&](const std::string& name) {
        return smbc_getFunctionOpen(ctx)(ctx, (folder + "/" + name).c_str(), O_RDWR | O_CREAT,
                                         0644);
    };
    SMBCFILE* lock = open("app.ldb");
    std::string record(64, '\0');
    record.replace(0, 9, "LOCALHOST");
    record.replace(32, 5, "Admin");
    smbc_getFunctionWrite(ctx)(ctx, lock, record.data(), record.size());

    const std::string path = "\\\\127.0.0.1\\Data\\bench\\app.mdb";
    const mallow::net::NetServices net = mallow::net::DefaultNetServices();
    mallow::multiuser::MultiUser mu(mallow::multiuser::DefaultMultiUserServices(net));
    std::vector<SMBCFILE*> handles;
    try {
        for (const int count : {1, 10, 100}) {
            while (static_cast<int>(handles.size()) < count)
                handles.push_back(open("app.mdb"));
            std::size_t rows = 0;
            const double ours = BestMs(7, [&] { rows = mu.GetUserInfo(path).size(); });
            const double calls = BestMs(7, [&] {
                mallow::net::cNetCalls(net).EnumFiles("127.0.0.1");
                for (int i = 0; i < count; ++i)
                    mallow::net::cNetCalls(net).EnumSessions("127.0.0.1");
            });
            std::printf("%3d handles: GetUserInfo %7.1f ms (%zu row), its server calls alone "
                        "%7.1f ms -> ratio %.2f\n",
                        count, ours, rows, calls, ours / calls);
        }
    } catch (const mallow::MallowError& e) {
        std::fprintf(stderr, "%s: %s\n", e.Source().c_str(), e.Description().c_str());
        return 1;
    }
    for (SMBCFILE* f : handles)
        smbc_getFunctionClose(ctx)(ctx, f);
    smbc_getFunctionClose(ctx)(ctx, lock);
    smbc_free_context(ctx, 1);
    return 0;
}
