#pragma once

#include "platform/VersionProbe.h"

namespace mallow::net::modGetOS {

/// True exactly when the platform's version record names the 9x family.
bool IsWin9xFamily();
bool IsWin9xFamily(const platform::VersionSource& source);

} // namespace mallow::net::modGetOS
