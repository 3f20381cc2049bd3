#pragma once

class QWidget;

namespace mallow {

/// The hourglass pointer over a window for as long as the object lives, or until Restore:
/// whichever way a handler ends, the normal pointer comes back.
class Hourglass
{
public:
    explicit Hourglass(QWidget* window);
    ~Hourglass();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
    void Restore();

private:
    QWidget* window;
    bool active = true;
};

} // namespace mallow
