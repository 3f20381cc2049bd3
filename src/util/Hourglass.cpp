#include "Hourglass.h"

#include <QCursor>
#include <QWidget>

namespace mallow {

Hourglass::Hourglass(QWidget* window) : window(window)
{
    window->setCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass()
{
    Restore();
}

void Hourglass::Restore()
{
    if (active)
        window->unsetCursor();
    active = false;
}

} // namespace mallow
