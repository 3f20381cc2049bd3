#pragma once

#include "util/DebugLog.h"

#include <string>
#include <string_view>

namespace mallow::platform {

/// Prepares Samba's client libraries once per process, before their first use: keeps
/// libsmbclient initialised until the process ends (when its last context goes, it tears down
/// the configuration that the server library shares with it), and sends what the libraries
/// print, their debug messages and their reports on standard output alike, to Mallow rather
/// than to the terminal: into the capture of the call under way, else to Mallow's debug log.
void UseSambaLibraries();

using mallow::WriteDebugLog;

/// Collects what Samba's libraries print on this thread while it lives (they report a failed
/// logon only that way); the text is kept for the caller, then written to the debug log. A
/// capture inside another on the same thread adds to the outer one.
class SambaOutputCapture
{
public:
    SambaOutputCapture();
    ~SambaOutputCapture();
    SambaOutputCapture(const SambaOutputCapture&) = delete;
    SambaOutputCapture& operator=(const SambaOutputCapture&) = delete;

    /// Everything the libraries printed since the capture began.
    std::string Text() const;
    /// Adds printed text to the capture.
    void Add(std::string_view text);

private:
    SambaOutputCapture* outer = nullptr;
    std::string text;
};

} // namespace mallow::platform
