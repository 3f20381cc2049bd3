#include "KeyboardMoveSize.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QWidget>

namespace mallow {

KeyboardMoveSize::KeyboardMoveSize(QObject* parent) : QObject(parent) {}

void KeyboardMoveSize::Start(QWidget* target, Mode newMode)
{
    if (Active())
        Finish(true);
    window = target;
    mode = newMode;
    original = target->geometry();
    // Every key goes to the mode until it ends, whichever control has the focus.
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(mode == Mode::Move ? Qt::SizeAllCursor : Qt::SizeFDiagCursor);
    target->activateWindow();
}

void KeyboardMoveSize::Finish(bool keep)
{
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (!keep && window)
        window->setGeometry(original);
    window = nullptr;
}

bool KeyboardMoveSize::eventFilter(QObject* watched, QEvent* event)
{
    if (!window) {
        Finish(true);
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        QPoint by;
        switch (key->key()) {
        case Qt::Key_Left:
            by = {-Step, 0};
            break;
        case Qt::Key_Right:
            by = {Step, 0};
            break;
        case Qt::Key_Up:
            by = {0, -Step};
            break;
        case Qt::Key_Down:
            by = {0, Step};
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Finish(true);
            return true;
        case Qt::Key_Escape:
            Finish(false);
            return true;
        default:
            return true;
        }
        if (mode == Mode::Move)
            window->move(window->pos() + by);
        else
            window->resize(window->width() + by.x(), window->height() + by.y());
        return true;
    }
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::MouseButtonPress:
        Finish(true);
        return true;
    case QEvent::Hide:
        if (watched == window)
            Finish(true);
        return false;
    default:
        return false;
    }
}

} // namespace mallow
