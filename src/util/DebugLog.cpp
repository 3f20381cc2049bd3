#include "DebugLog.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

namespace mallow {

namespace {

std::mutex& LogMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

void PrepareDebugLog()
{
    LogMutex();
}

void WriteDebugLog(std::string_view text)
{
    const char* path = std::getenv("MALLOW_DEBUG_LOG");
    if (!path || !*path || text.empty())
        return;
    std::lock_guard lock(LogMutex());
    std::ofstream out(path, std::ios::app);
    out << text;
    if (text.back() != '\n')
        out << '\n';
}

} // namespace mallow
