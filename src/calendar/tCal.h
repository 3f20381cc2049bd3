#pragma once

#include "quillon.h"
#include "tCalLogic.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;

namespace quillon {

/// The current local date and time as an automation date.
double LocalNow();

/// The number of tCal controls alive in this process.
int LiveControls();

/// The month calendar control: labels for the month, the weekdays and the 42 days, two arrows
/// with the grey shapes behind them, the grid drawn on every repaint, and the repeat timer. All
/// it decides is left to tCalLogic; it lays its parts out in twips at the screen's resolution.
class tCal : public QWidget, private tCalView
{
public:
    /// The fixed size of the control, in twips.
    static constexpr int WidthTwips = 2055;
    static constexpr int HeightTwips = 1980;

    /// `now` tells the date the control starts on.
    explicit tCal(QWidget* parent = nullptr, const std::function<double()>& now = LocalNow);
    ~tCal() override;

    tCalLogic& Logic() { return logic; }

    void ConnectDateChanged(QuillonDateChangedHandler handler, void* context);
    void ConnectPropertyChanged(QuillonPropertyChangedHandler handler, void* context);

    /// Twips to pixels at this screen's resolution, across and down.
    int TwipsX(int twips) const;
    int TwipsY(int twips) const;

    /// What LayoutCalendar and the mouse handlers call; public for the parts' mouse events.
    void CellPressed(int k) { logic.CellPressed(k); }
    void ArrowPressed(int arrow, bool leftButton) { logic.ArrowPressed(arrow, leftButton); }
    void ArrowReleased(int arrow) { logic.ArrowReleased(arrow); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void LayoutCalendar();
    QRect TwipsRect(int left, int top, int width, int height) const;

    void ShowCells() override;
    void ShowShape(int arrow, bool visible) override;
    void StartTimer(int intervalMs) override;
    void StopTimer() override;
    void DateChanged(double dte) override;
    void PropertyChanged(const char* name) override;

    tCalLogic logic{*this};
    int dpiX = 96;
    int dpiY = 96;
    bool InResize = false;

    QLabel* labMonth = nullptr;
    std::array<QWidget*, 2> labUD{};
    std::array<QWidget*, 2> UDshape{};
    std::array<QLabel*, 7> labDay{};
    std::array<QLabel*, tCalLogic::Cells> labDayNo{};
    QTimer MonthTimer{this};

    QuillonDateChangedHandler dateChanged = nullptr;
    void* dateChangedContext = nullptr;
    QuillonPropertyChangedHandler propertyChanged = nullptr;
    void* propertyChangedContext = nullptr;
};

} // namespace quillon
