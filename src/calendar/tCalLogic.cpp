#include "tCalLogic.h"

#include "CalendarDates.h"

namespace quillon {

void tCalLogic::Initialize(double now)
{
    ShownMonthStart = dates::FirstOfMonth(now);
    SelDate = now;
    RedrawMonth();
    SelectAndNotify();
}

bool tCalLogic::SetValue(double New_Value)
{
    if (!dates::IsValid(New_Value))
        return false;
    StoredValue = New_Value;
    view.PropertyChanged("Value");
    ShownMonthStart = dates::FirstOfMonth(New_Value);
    SelDate = New_Value;
    RedrawMonth();
    SelectAndNotify();
    return true;
}

void tCalLogic::CellPressed(int k)
{
    if (k < 0 || k >= Cells)
        return;
    SelIndex = static_cast<std::int16_t>(k);
    SelDate = dates::AddDays(FirstCellDate, k);
    RedrawMonth();
    SelectAndNotify();
}

void tCalLogic::ArrowPressed(int arrow, bool leftButton)
{
    if (arrow != 0 && arrow != 1)
        return;
    view.ShowShape(arrow, true);
    const int cell = SelIndex;
    RepeatDelay = leftButton ? 1 : 5;
    RepeatStep = arrow == 0 ? -1 : 1;
    StepMonth(RepeatStep, cell);
    RepeatTicks = 0;
    view.StartTimer(leftButton ? LeftButtonInterval : OtherButtonInterval);
}

void tCalLogic::ArrowReleased(int arrow)
{
    if (arrow != 0 && arrow != 1)
        return;
    view.ShowShape(arrow, false);
    view.StopTimer();
}

void tCalLogic::TimerTick()
{
    ++RepeatTicks;
    if (RepeatTicks > RepeatDelay)
        StepMonth(RepeatStep, SelIndex);
}

bool tCalLogic::ReadProperties(PropertyBag& bag)
{
    const double stored = bag.ReadProperty("Value", 0);
    if (!dates::IsValid(stored))
        return false;
    StoredValue = stored;
    return true;
}

void tCalLogic::WriteProperties(PropertyBag& bag) const
{
    bag.WriteProperty("Value", StoredValue, 0);
}

void tCalLogic::RedrawMonth()
{
    const long shownDay = dates::DayNumber(ShownMonthStart);
    FirstCellDate = dates::AddDays(ShownMonthStart, 1 - dates::WeekdayMondayFirst(shownDay));
    monthCaption = dates::MonthAndYear(ShownMonthStart);
    SelIndex = static_cast<std::int16_t>(dates::DaysBetween(FirstCellDate, SelDate));
    const int shownMonth = dates::CivilOf(shownDay).month;
    const long firstDay = dates::DayNumber(FirstCellDate);
    for (int k = 0; k < Cells; ++k) {
        cellCaptions[k] = dates::TwoDigitDay(firstDay + k);
        cellColours[k] =
            dates::CivilOf(firstDay + k).month == shownMonth ? colours::Black : colours::LightGrey;
    }
    view.ShowCells();
}

void tCalLogic::SelectAndNotify()
{
    SelIndex = static_cast<std::int16_t>(dates::DaysBetween(FirstCellDate, SelDate));
    if (SelIndex >= 0 && SelIndex < Cells)
        cellColours[SelIndex] = colours::Red;
    view.ShowCells();
    view.DateChanged(SelDate);
}

void tCalLogic::StepMonth(int step, int cell)
{
    // At the ends of the range of dates the display stays where it is.
    const auto next = dates::AddMonths(ShownMonthStart, step);
    if (!next)
        return;
    ShownMonthStart = *next;
    RedrawMonth();
    SelIndex = static_cast<std::int16_t>(cell);
    SelDate = dates::AddDays(FirstCellDate, cell);
    SelectAndNotify();
}

} // namespace quillon
