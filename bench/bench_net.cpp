// The processes of the network benchmark (bench_net.sh):
//   bench_net hold URL COUNT   opens COUNT files below URL through libsmbclient, says "ready"
//                              and holds them until its standard input closes;
//   bench_net enumfiles SERVER one EnumFiles through the facade, as Mallow makes it: probe,
//                              connect, enumerate, release; prints the number of rows.
#include "net/cNetCalls.h"
#include "util/MallowError.h"

#include <libsmbclient.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
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

int Hold(const std::string& url, int count)
{
    SMBCCTX* ctx = smbc_new_context();
    smbc_setTimeout(ctx, 20000);
    smbc_setFunctionAuthDataWithContext(ctx, Authenticate);
    if (!smbc_init_context(ctx))
        return 2;
    smbc_getFunctionMkdir(ctx)(ctx, url.c_str(), 0755);
    std::vector<SMBCFILE*> files;
    for (int i = 0; i < count; ++i) {
        const std::string name = url + "/file" + std::to_string(i) + ".mdb";
        SMBCFILE* f = smbc_getFunctionOpen(ctx)(ctx, name.c_str(), O_RDWR | O_CREAT, 0644);
        if (!f) {
            std::cerr << "cannot open " << name << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        files.push_back(f);
    }
    std::cout << "ready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    for (SMBCFILE* f : files)
        smbc_getFunctionClose(ctx)(ctx, f);
    smbc_free_context(ctx, 1);
    return 0;
}

int EnumFiles(const std::string& server)
{
    try {
        mallow::net::cNetCalls calls(mallow::net::DefaultNetServices());
        const auto files = calls.EnumFiles(server);
        std::cout << (files.IsEmpty() ? 0 : files.Rows()) << "\n";
        return 0;
    } catch (const mallow::MallowError& e) {
        std::cerr << e.Source() << ": " << e.Description() << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold" && argc == 4)
        return Hold(argv[2], std::atoi(argv[3]));
    if (mode == "enumfiles" && argc == 3)
        return EnumFiles(argv[2]);
    std::cerr << "usage: bench_net hold URL COUNT | bench_net enumfiles SERVER\n";
    return 2;
}
