#include "Prompter.h"

namespace mallow {

std::string HandlerErrorText(const std::string& handlerName, const std::string& description)
{
    return "An error has occured in module '" + handlerName + "'.\r\n" + description;
}

} // namespace mallow
