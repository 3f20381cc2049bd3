// regsvr [-u] LIBRARY: registers a component library in the registry store (or, with -u,
// removes its registration) by loading it and calling its DllRegisterServer or
// DllUnregisterServer. The store is the user's, or the file named by $MALLOW_REGISTRY.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    const bool unregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
    if (argc != 2 + (unregister ? 1 : 0) || argv[argc - 1][0] == '\0') {
        std::fprintf(stderr, "usage: regsvr [-u] LIBRARY\n");
        return 2;
    }
    const char* given = argv[argc - 1];
    // The library registers the path it was loaded from, so it is loaded by an absolute path;
    // a link (libquillon.so to its versioned file) stays the link.
    std::string path = given;
    if (!path.empty() && path.front() != '/') {
        char folder[PATH_MAX];
        if (!::getcwd(folder, sizeof folder)) {
            std::perror("regsvr");
            return 1;
        }
        path = std::string(folder) + "/" + path;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "regsvr: %s does not exist\n", path.c_str());
        return 1;
    }
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", path.c_str(), ::dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    using Function = std::int32_t (*)();
    auto call = reinterpret_cast<Function>(::dlsym(library, entry));
    if (!call) {
        std::fprintf(stderr, "regsvr: %s has no %s\n", path.c_str(), entry);
        return 1;
    }
    const std::int32_t result = call();
    if (result != 0) {
        using Text = const char* (*)();
        auto why = reinterpret_cast<Text>(::dlsym(library, "QuillonLastError"));
        std::fprintf(stderr, "regsvr: %s of %s failed (0x%08X)%s%s\n", entry, path.c_str(),
                     static_cast<unsigned>(result), why ? ": " : "", why ? why() : "");
        return 1;
    }
    std::printf("regsvr: %s of %s succeeded\n", entry, path.c_str());
    return 0;
}
