#include "FileDialogs.h"

#include "MallowError.h"

namespace mallow {

std::string ShowOpenDialog(FileDialogs& dialogs, const OpenFileRequest& request)
{
    auto chosen = dialogs.ShowOpen(request);
    if (chosen)
        return *chosen;
    if (request.cancelError)
        RaiseRuntimeError(err::CancelError, "CommonDialog");
    return {};
}

} // namespace mallow
