#pragma once

#include "util/Prompter.h"

class QWidget;

namespace mallow {

/// Prompts as real modal Qt dialogs, owned by the given window.
class QtPrompter : public Prompter
{
public:
    explicit QtPrompter(QWidget* owner = nullptr) : owner(owner) {}
    void SetOwner(QWidget* window) { owner = window; }

    void MsgBox(const std::string& text, const std::string& title) override;
    bool Confirm(const std::string& text, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;

private:
    QWidget* owner;
};

} // namespace mallow
