#include "WindowWork.h"

#include <QEventLoop>
#include <QMetaObject>

#include <atomic>
#include <exception>
#include <thread>

namespace mallow {

void WindowRunner::Run(const std::function<void()>& work)
{
    std::exception_ptr failure;
    std::atomic<bool> finished = false;
    QEventLoop loop;
    std::thread worker([&] {
        const WorkProgress::Scope scope(&progress);
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
        // Wakes the loop below, on the window's thread; a wake before it runs waits for it.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // The program may end meanwhile (the loop then returns at once): the work is waited for.
    if (!finished)
        loop.exec();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace mallow
