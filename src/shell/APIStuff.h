#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>

#include <array>
#include <cstdint>
#include <string>

class QMenu;
class QWidget;

namespace mallow {

/// Window messages as the tray and the window exchange them.
namespace msg {
inline constexpr unsigned WM_USER = 1024;
/// The tray icon's callback message; its second parameter names the mouse event.
inline constexpr unsigned TrayCallback = WM_USER + 1001; // 2025
inline constexpr unsigned WM_SYSCOMMAND = 274;
inline constexpr long WM_MOUSEMOVE = 512;
inline constexpr long WM_LBUTTONUP = 514;
inline constexpr long WM_LBUTTONDBLCLK = 515;
inline constexpr long WM_RBUTTONUP = 517;
inline constexpr long WM_MBUTTONUP = 520;
inline constexpr long SC_SIZE = 61440;
inline constexpr long SC_MOVE = 61456;
inline constexpr long SC_MINIMIZE = 61472;
inline constexpr long SC_RESTORE = 61728;
} // namespace msg

/// What the tray tells the window it serves. The tray only says what the user did; the window
/// decides what that does to it.
class TrayWindow
{
public:
    virtual ~TrayWindow() = default;
    /// A left click on the icon.
    virtual void TrayIconClicked() = 0;
    /// A right click on the icon, at `at` on the screen.
    virtual void TrayMenuRequested(const QPoint& at) = 0;
    /// The minimize command of the window's title bar. True when the window went into the tray;
    /// false passes the command on.
    virtual bool TrayMinimize() = 0;
    /// The restore command. True when it brought a hidden window back; false passes it on.
    virtual bool TrayRestore() = 0;
    /// What the window does with a message the tray passes on.
    virtual long PreviousWindowProc(unsigned message, long wParam, long lParam) = 0;
};

/// The notification-area icon of the main window and the window procedure that serves it.
/// AddTrayIcon shows the icon and starts watching the window: a minimize from the title bar
/// and the icon's mouse events reach TrayWindowProc as the window messages they stand for.
class APIStuff : public QObject
{
    Q_OBJECT

public:
    /// The tray icon record: flags, callback message, icon and a tip of 64 characters (the
    /// text, one NUL, blanks).
    struct NotifyIconData
    {
        std::uint32_t cbSize = 88;
        std::uint32_t uID = 0;
        std::uint32_t uFlags = 0;
        std::uint32_t uCallbackMessage = 0;
        std::array<char, 64> szTip{};
    };
    static constexpr std::uint32_t NIF_MESSAGE = 1;
    static constexpr std::uint32_t NIF_ICON = 2;
    static constexpr std::uint32_t NIF_TIP = 4;

    explicit APIStuff(TrayWindow& owner, QObject* parent = nullptr);
    ~APIStuff() override;

    /// Remembers the window and its popup menu, starts watching the window and puts the icon
    /// (the window's icon) into the notification area.
    void AddTrayIcon(QWidget* window, QMenu* popupMenu);
    /// The text shown when the mouse rests on the icon (63 characters at most).
    void SetTrayTip(const std::string& text);
    /// Takes the icon out of the notification area and stops watching the window.
    void RemoveTrayIcon();
    /// The window procedure: mouse events of the icon (message 2025) and the minimize and
    /// restore commands (274) go to the window as what the user did; every other message, and
    /// what the window declines, goes to its previous procedure.
    long TrayWindowProc(unsigned message, long wParam, long lParam);

    /// True when the icon stands in a notification area, where a click can bring the window
    /// back. Sessions without a tray host have none.
    bool InTray() const;
    const NotifyIconData& Record() const { return nid; }
    QMenu* PopupMenu() const { return popup; }
    QSystemTrayIcon* Icon() const { return icon; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    TrayWindow& owner;
    NotifyIconData nid;
    QWidget* window = nullptr;
    QMenu* popup = nullptr;
    QSystemTrayIcon* icon = nullptr;
};

} // namespace mallow
