#pragma once

#include <optional>
#include <string>

namespace mallow {

/// Message boxes, confirmations and input boxes. The program shows every prompt through one of
/// these, so that a test can read what was shown and answer it.
class Prompter
{
public:
    virtual ~Prompter() = default;
    /// A message box with an OK button; `title` empty means the program's own title.
    virtual void MsgBox(const std::string& text, const std::string& title = {}) = 0;
    /// A question with Yes and No buttons; true for Yes.
    virtual bool Confirm(const std::string& text, const std::string& title = {}) = 0;
    /// An input box; nothing when it was cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt,
                                                const std::string& title = {},
                                                const std::string& defaultText = {}) = 0;
};

/// The text the error report of a window handler shows.
std::string HandlerErrorText(const std::string& handlerName, const std::string& description);

} // namespace mallow
