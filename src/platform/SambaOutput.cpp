#include "platform/SambaOutput.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include <libsmbclient.h>

extern "C" {
// Samba's util library: the reports of its client code, on the stream the first report found.
int d_printf(const char* format, ...);
}

namespace mallow::platform {

namespace {

thread_local SambaOutputCapture* current = nullptr;

void Route(std::string_view text)
{
    if (current)
        current->Add(text);
    else
        WriteDebugLog(text);
}

void OnLibraryDebug(void*, int, const char* message)
{
    if (message)
        Route(message);
}

ssize_t OnLibraryWrite(void*, const char* data, std::size_t size)
{
    Route(std::string_view(data, size));
    return static_cast<ssize_t>(size);
}

/// What the libraries print: one stream for the life of the process, unbuffered, so that a
/// report reaches the capture of the call that made it.
FILE* LibraryStream()
{
    static FILE* const stream = [] {
        cookie_io_functions_t functions{};
        functions.write = &OnLibraryWrite;
        FILE* opened = fopencookie(nullptr, "w", functions);
        if (opened)
            std::setvbuf(opened, nullptr, _IONBF, 0);
        return opened;
    }();
    return stream;
}

/// One initialised libsmbclient context for the life of the process.
class LibraryHold
{
public:
    LibraryHold() : ctx((PrepareDebugLog(), LibraryStream(), smbc_new_context()))
    {
        // The reports go to the stream that standard output was when the first one was made,
        // for good: make that Mallow's stream before the libraries print anything.
        if (FILE* stream = LibraryStream()) {
            std::fflush(stdout);
            FILE* const terminal = stdout;
            stdout = stream;
            d_printf("%s", "");
            stdout = terminal;
        }
        if (!ctx)
            return;
        if (!smbc_init_context(ctx)) {
            smbc_free_context(ctx, 0);
            ctx = nullptr;
            return;
        }
        // The libraries keep one debug destination for the process; a callback outranks the
        // terminal and the log files they choose themselves when they start.
        smbc_setLogCallback(ctx, nullptr, &OnLibraryDebug);
    }
    ~LibraryHold()
    {
        if (ctx)
            smbc_free_context(ctx, 1);
    }
    LibraryHold(const LibraryHold&) = delete;
    LibraryHold& operator=(const LibraryHold&) = delete;

private:
    SMBCCTX* ctx;
};

} // namespace

void UseSambaLibraries()
{
    static const LibraryHold hold;
}

SambaOutputCapture::SambaOutputCapture() : outer(current)
{
    UseSambaLibraries();
    current = this;
}

SambaOutputCapture::~SambaOutputCapture()
{
    current = outer;
    if (outer)
        outer->Add(text);
    else
        WriteDebugLog(text);
}

std::string SambaOutputCapture::Text() const
{
    return text;
}

void SambaOutputCapture::Add(std::string_view printed)
{
    text += printed;
}

} // namespace mallow::platform
