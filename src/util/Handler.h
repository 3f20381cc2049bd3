#pragma once

#include "MallowError.h"
#include "Prompter.h"

#include <exception>
#include <string>

namespace mallow {

/// Runs the body of a window handler under the program's error report: an error shows
/// "An error has occured in module '<name>'." and its description, and the handler ends.
/// `special` may claim an error first (return true when it showed something of its own);
/// anything that is not a MallowError is reported with its text, never let through.
template <typename Body, typename Special>
void RunHandler(Prompter& prompter, const std::string& name, Body&& body, Special&& special)
{
    try {
        body();
    } catch (const MallowError& e) {
        if (!special(e))
            prompter.MsgBox(HandlerErrorText(name, e.Description()));
    } catch (const std::exception& e) {
        prompter.MsgBox(HandlerErrorText(name, e.what()));
    }
}

template <typename Body>
void RunHandler(Prompter& prompter, const std::string& name, Body&& body)
{
    RunHandler(prompter, name, std::forward<Body>(body), [](const MallowError&) { return false; });
}

/// The special case of the handlers that read the chosen line of the application list: error
/// 381 (no line chosen) shows "Please select an application." instead of the report.
inline auto SelectApplicationFirst(Prompter& prompter)
{
    return [&prompter](const MallowError& e) {
        if (e.Number() != err::InvalidPropertyArrayIndex)
            return false;
        prompter.MsgBox("Please select an application.");
        return true;
    };
}

} // namespace mallow
