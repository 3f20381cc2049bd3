#pragma once

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

namespace mallow::test {

/// Clicks `button` and, once the modal dialog of type D it opens is shown, runs `act` on it.
/// Returns whether such a dialog opened. A dialog that `act` leaves open is closed after a
/// while, so that a failing test cannot hang.
template <typename D> bool InModal(QWidget* button, const std::function<void(D&)>& act)
{
    bool opened = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        opened = true;
        QPointer<D> guard(dialog);
        QTimer::singleShot(10000, dialog, [guard] {
            if (guard)
                guard->reject();
        });
        if (QTest::qWaitForWindowExposed(dialog))
            act(*dialog);
    });
    poll.start();
    QTest::mouseClick(button, Qt::LeftButton);
    return opened;
}

} // namespace mallow::test
