#include "APIStuff.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstring>

namespace mallow {

APIStuff::APIStuff(TrayWindow& owner, QObject* parent) : QObject(parent), owner(owner)
{
    setObjectName(QStringLiteral("APIStuff"));
}

APIStuff::~APIStuff()
{
    RemoveTrayIcon();
}

void APIStuff::AddTrayIcon(QWidget* mainWindow, QMenu* popupMenu)
{
    window = mainWindow;
    popup = popupMenu;
    window->installEventFilter(this);

    nid.cbSize = 88;
    nid.uID = 0;
    nid.uFlags = NIF_MESSAGE | NIF_ICON;
    nid.uCallbackMessage = msg::TrayCallback;
    if (!icon) {
        icon = new QSystemTrayIcon(this);
        icon->setObjectName(QStringLiteral("TrayIcon"));
        connect(icon, &QSystemTrayIcon::activated, this, &APIStuff::Activated);
    }
    icon->setIcon(window->windowIcon());
    icon->show();
}

void APIStuff::SetTrayTip(const std::string& text)
{
    // The text, one NUL, then blanks to the record's 64 characters; what does not fit is cut.
    nid.szTip.fill(' ');
    const std::size_t length = std::min(text.size(), nid.szTip.size() - 1);
    std::memcpy(nid.szTip.data(), text.data(), length);
    nid.szTip[length] = '\0';
    nid.uFlags = NIF_TIP;
    if (icon)
        icon->setToolTip(QString::fromUtf8(nid.szTip.data(), static_cast<qsizetype>(length)));
}

void APIStuff::RemoveTrayIcon()
{
    nid.uFlags = 0;
    if (icon) {
        icon->hide();
        delete icon;
        icon = nullptr;
    }
    if (window) {
        window->removeEventFilter(this);
        window = nullptr;
    }
}

bool APIStuff::InTray() const
{
    return icon && icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

long APIStuff::TrayWindowProc(unsigned message, long wParam, long lParam)
{
    if (message == msg::TrayCallback) {
        if (lParam == msg::WM_LBUTTONUP) {
            owner.TrayIconClicked();
            return 0;
        }
        if (lParam == msg::WM_RBUTTONUP) {
            owner.TrayMenuRequested(QCursor::pos());
            return 0;
        }
    } else if (message == msg::WM_SYSCOMMAND) {
        if (wParam == msg::SC_MINIMIZE && owner.TrayMinimize())
            return 0;
        if (wParam == msg::SC_RESTORE && owner.TrayRestore())
            return 0;
    }
    return owner.PreviousWindowProc(message, wParam, lParam);
}

void APIStuff::Activated(QSystemTrayIcon::ActivationReason reason)
{
    // The mouse events of the icon, as the callback message names them.
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        TrayWindowProc(msg::TrayCallback, 0, msg::WM_LBUTTONUP);
        break;
    case QSystemTrayIcon::Context:
        TrayWindowProc(msg::TrayCallback, 0, msg::WM_RBUTTONUP);
        break;
    case QSystemTrayIcon::DoubleClick:
        TrayWindowProc(msg::TrayCallback, 0, msg::WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::MiddleClick:
        TrayWindowProc(msg::TrayCallback, 0, msg::WM_MBUTTONUP);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

bool APIStuff::eventFilter(QObject* watched, QEvent* event)
{
    // The window manager minimizes the window itself (the title bar's button, a key of the
    // desktop) and then tells the window: that is the window's minimize command.
    if (watched == window && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (window->isMinimized() && !(change->oldState() & Qt::WindowMinimized))
            TrayWindowProc(msg::WM_SYSCOMMAND, msg::SC_MINIMIZE, 0);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace mallow
