#pragma once

#include "platform/Mpr.h"
#include "platform/NetApi.h"
#include "platform/SvrApi.h"
#include "platform/VersionProbe.h"

#include <string>

namespace mallow::net {

/// Shows the program's standard error report for a routine that reports instead of raising.
class NetErrorReporter
{
public:
    virtual ~NetErrorReporter() = default;
    virtual void ShowError(const std::string& routine, const std::string& description) = 0;
};

/// The text of the standard error report.
std::string ErrorReportText(const std::string& routine, const std::string& description);

/// The platform services the network layer works through. Tests hand in their own; the
/// program uses DefaultNetServices().
struct NetServices
{
    const platform::VersionSource* version = nullptr;
    platform::NetApi* netApi = nullptr;
    platform::NetProvider* provider = nullptr;
    NetErrorReporter* reporter = nullptr;
    platform::SvrApi* svrApi = nullptr;
};

/// This machine's services: the version probe, the Samba server library and the network
/// provider with the given dialogs (none: the dialog calls answer 50, not supported), and
/// the given reporter (none: the report goes to standard error); the 9x server library knows
/// no server, as none runs here. The objects live for the whole process.
NetServices DefaultNetServices(platform::ConnectionDialogs* dialogs = nullptr,
                               NetErrorReporter* reporter = nullptr);

} // namespace mallow::net
