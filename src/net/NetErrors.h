#pragma once

#include "util/MallowError.h"

namespace mallow::net {

/// Error numbers of the network layer, on the application error base.
inline constexpr long ServerCallError = ApplicationErrorBase + 513;
inline constexpr long ProviderErrorBase = ApplicationErrorBase + 1000;
inline constexpr long DialogCancelledError = ApplicationErrorBase + 1001;
inline constexpr long WrongFamilyError = ApplicationErrorBase + 1002;
inline constexpr long ShareNameTooLongError = ApplicationErrorBase + 1004;
inline constexpr long NeedsNt4Error = ApplicationErrorBase + 1100;
inline constexpr long WrongTargetError = ApplicationErrorBase + 1124;

} // namespace mallow::net
