#include "net/NetServices.h"

#include "platform/LinuxProvider.h"
#include "platform/SambaNetApi.h"
#include "platform/SvrApiLayer.h"

#include <iostream>
#include <map>
#include <memory>
#include <mutex>

namespace mallow::net {

namespace {

class StandardErrorReporter : public NetErrorReporter
{
public:
    void ShowError(const std::string& routine, const std::string& description) override
    {
        std::cerr << ErrorReportText(routine, description) << std::endl;
    }
};

} // namespace

std::string ErrorReportText(const std::string& routine, const std::string& description)
{
    return "An error has occured in module '" + routine + "'.\r\n" + description;
}

NetServices DefaultNetServices(platform::ConnectionDialogs* dialogs, NetErrorReporter* reporter)
{
    static platform::SambaNetApi netApi;
    static platform::SvrApiLayer svrApi;
    static StandardErrorReporter standardReporter;
    // One provider per set of dialogs, kept for the whole process.
    static std::mutex mutex;
    static std::map<platform::ConnectionDialogs*, std::unique_ptr<platform::LinuxProvider>>
        providers;
    std::lock_guard lock(mutex);
    auto& provider = providers[dialogs];
    if (!provider) {
        platform::LinuxProvider::Options options;
        options.dialogs = dialogs;
        provider = std::make_unique<platform::LinuxProvider>(options);
    }
    NetServices services;
    services.version = &platform::SystemVersion();
    services.netApi = &netApi;
    services.provider = provider.get();
    services.reporter = reporter ? reporter : &standardReporter;
    services.svrApi = &svrApi;
    return services;
}

} // namespace mallow::net
