#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

namespace mallow {

/// The keyboard move and size mode of a window, as the window menu's Move and Size start it:
/// the arrow keys move the window (Move) or change its size from the bottom-right corner
/// (Size), 8 pixels a press; Enter or a mouse click keeps the result, Escape puts the window
/// back where it was. It works in every session, with or without a window manager.
class KeyboardMoveSize : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Move, Size };
    static constexpr int Step = 8;

    explicit KeyboardMoveSize(QObject* parent = nullptr);

    /// Starts the mode on `window`; a mode already running on it ends first, keeping its result.
    void Start(QWidget* window, Mode mode);
    bool Active() const { return !window.isNull(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Finish(bool keep);

    QPointer<QWidget> window;
    Mode mode = Mode::Move;
    QRect original;
};

} // namespace mallow
