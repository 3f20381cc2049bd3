#pragma once

#include "util/Work.h"

namespace mallow {

/// Runs long work on a thread of its own while the window's thread goes on handling events
/// (repaints, keys, menus, timers, the tray): Run returns once the work has ended, raising what
/// it raised. The window keeps its own commands from starting other work meanwhile.
class WindowRunner : public WorkRunner
{
public:
    void Run(const std::function<void()>& work) override;
};

} // namespace mallow
