#pragma once

#include <string_view>

namespace mallow {

/// Appends a text (and a line end, when it has none) to Mallow's debug log: the file named by
/// the environment variable MALLOW_DEBUG_LOG. Without that variable the text is dropped.
/// Callable from any thread.
void WriteDebugLog(std::string_view text);

/// Makes the log's lock now, so that an object made after this call may still write to the
/// log while the program ends.
void PrepareDebugLog();

} // namespace mallow
