#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

/// Colours as the control states them: 0x00BBGGRR.
namespace colours {
inline constexpr std::uint32_t Black = 0x000000;
inline constexpr std::uint32_t White = 0xFFFFFF;
inline constexpr std::uint32_t LightGrey = 0xC0C0C0;
inline constexpr std::uint32_t DarkGrey = 0x404040;
inline constexpr std::uint32_t Red = 0x0000FF;
} // namespace colours

/// What the window does for the calendar's logic: show what changed, run the repeat timer, and
/// pass the control's events to its host.
class tCalView
{
public:
    virtual ~tCalView() = default;
    /// The month caption, the day captions or their colours changed.
    virtual void ShowCells() = 0;
    /// Shows or hides the grey shape behind arrow 0 (back) or 1 (forward).
    virtual void ShowShape(int arrow, bool visible) = 0;
    virtual void StartTimer(int intervalMs) = 0;
    virtual void StopTimer() = 0;
    virtual void DateChanged(double dte) = 0;
    /// A persisted property changed, so that the host saves it.
    virtual void PropertyChanged(const char* name) = 0;
};

/// The host's store of the control's persisted properties.
class PropertyBag
{
public:
    virtual ~PropertyBag() = default;
    virtual double ReadProperty(const char* name, double defaultValue) = 0;
    /// A bag may leave out a value equal to its default.
    virtual void WriteProperty(const char* name, double value, double defaultValue) = 0;
};

/// The month calendar apart from any window: six weeks of seven days from Monday, the displayed
/// month, the selected cell, the month arrows and their repeat, and the Value property. The
/// window reads the captions and colours from here and forwards clicks and timer ticks.
class tCalLogic
{
public:
    static constexpr int Cells = 42;
    /// The left button steps once and repeats every 200 ms from the second tick; any other
    /// button repeats every 5 ms after five ticks.
    static constexpr int LeftButtonInterval = 200;
    static constexpr int OtherButtonInterval = 5;

    explicit tCalLogic(tCalView& view) : view(view) {}

    /// Shows the month of `now` with `now` selected and raises DateChanged.
    void Initialize(double now);

    double Value() const { return StoredValue; }
    /// Stores the value, shows its month with it selected and raises DateChanged. Returns false,
    /// changing nothing, for a value that is no date from the years 100 to 9999.
    bool SetValue(double New_Value);

    /// A mouse button went down on cell `k` (0 to 41): that day is selected and reported, even
    /// when it belongs to a neighbouring month, whose display does not change.
    void CellPressed(int k);
    /// A mouse button went down on arrow 0 (back) or 1 (forward).
    void ArrowPressed(int arrow, bool leftButton);
    void ArrowReleased(int arrow);
    void TimerTick();

    /// Reads Value into the stored value only; the display keeps its month. Returns false when
    /// the bag holds no date there (the stored value is then left as it was).
    bool ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    const std::string& MonthCaption() const { return monthCaption; }
    const std::string& CellCaption(int k) const { return cellCaptions.at(k); }
    std::uint32_t CellColour(int k) const { return cellColours.at(k); }

    double ShownMonth() const { return ShownMonthStart; }
    double FirstCell() const { return FirstCellDate; }
    int SelectedIndex() const { return SelIndex; }
    double SelectedDate() const { return SelDate; }
    int RepeatDelayTicks() const { return RepeatDelay; }

private:
    void RedrawMonth();
    void SelectAndNotify();
    /// Moves the display `step` months and selects cell `cell` of the new display.
    void StepMonth(int step, int cell);

    tCalView& view;

    double StoredValue = 0;
    double ShownMonthStart = 0;
    double FirstCellDate = 0;
    std::int16_t SelIndex = 0;
    double SelDate = 0;
    std::int32_t RepeatTicks = 0;
    std::int16_t RepeatDelay = 1;
    std::int16_t RepeatStep = 1;

    std::string monthCaption;
    std::array<std::string, Cells> cellCaptions;
    std::array<std::uint32_t, Cells> cellColours{};
};

} // namespace quillon
