#include "tCal.h"

#include "CalendarDates.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <atomic>
#include <ctime>

namespace quillon {

namespace {

std::atomic<int> liveControls{0};

QColor FromOle(std::uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

/// Tahoma where it is installed; otherwise a narrow face of similar width.
QFont ControlFont(double points, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void SetTextColour(QWidget* widget, std::uint32_t colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, FromOle(colour));
    widget->setPalette(palette);
}

/// Makes the label's font smaller until its text fits, for faces wider than the one the
/// control's sizes were chosen for; the label starts from `points` each time.
void FitText(QLabel* label, double points, bool bold)
{
    QFont font = ControlFont(points, bold);
    while (font.pointSizeF() > 5 &&
           QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label->setFont(font);
}

/// One day of the grid: any mouse button pressed on it selects its day.
class DayLabel : public QLabel
{
public:
    DayLabel(tCal* control, int cell) : QLabel(control), control(control), cell(cell) {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        control->CellPressed(cell);
    }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }

private:
    tCal* control;
    int cell;
};

/// A month arrow, drawn as a solid triangle pointing back (0) or forward (1).
class ArrowLabel : public QWidget
{
public:
    ArrowLabel(tCal* control, int arrow) : QWidget(control), control(control), arrow(arrow) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        // A triangle about 6 by 9 points, as the symbol font's arrows are at 12 points, centred
        // on the grey shape that shows behind it while it is pressed.
        const double halfWidth = control->TwipsX(60);
        const double halfHeight = control->TwipsY(90);
        const QPointF centre(control->TwipsX(arrow == 0 ? 82 : 127), control->TwipsY(150));
        const double tip = arrow == 0 ? -halfWidth : halfWidth;
        const QPointF corners[3] = {{centre.x() + tip, centre.y()},
                                    {centre.x() - tip, centre.y() - halfHeight},
                                    {centre.x() - tip, centre.y() + halfHeight}};
        painter.drawPolygon(corners, 3);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        control->ArrowPressed(arrow, event->button() == Qt::LeftButton);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        event->accept();
        control->ArrowReleased(arrow);
    }

private:
    tCal* control;
    int arrow;
};

} // namespace

double LocalNow()
{
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    const long day = dates::DayOf({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
    return dates::MakeDate(day,
                           (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0);
}

int LiveControls()
{
    return liveControls.load();
}

tCal::tCal(QWidget* parent, const std::function<double()>& now) : QWidget(parent)
{
    ++liveControls;
    setObjectName(QStringLiteral("tCal"));
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        dpiX = qRound(screen->logicalDotsPerInchX());
        dpiY = qRound(screen->logicalDotsPerInchY());
    }
    MonthTimer.setObjectName(QStringLiteral("MonthTimer"));
    MonthTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&MonthTimer, &QTimer::timeout, this, [this] { logic.TimerTick(); });
    LayoutCalendar();
    logic.Initialize(now());
}

tCal::~tCal()
{
    --liveControls;
}

void tCal::ConnectDateChanged(QuillonDateChangedHandler handler, void* context)
{
    dateChanged = handler;
    dateChangedContext = context;
}

void tCal::ConnectPropertyChanged(QuillonPropertyChangedHandler handler, void* context)
{
    propertyChanged = handler;
    propertyChangedContext = context;
}

int tCal::TwipsX(int twips) const
{
    return qRound(twips * dpiX / 1440.0);
}

int tCal::TwipsY(int twips) const
{
    return qRound(twips * dpiY / 1440.0);
}

QRect tCal::TwipsRect(int left, int top, int width, int height) const
{
    return QRect(TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height));
}

void tCal::LayoutCalendar()
{
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, FromOle(colours::White));
    setPalette(background);
    setFixedSize(TwipsX(WidthTwips), TwipsY(HeightTwips));

    // The shapes lie under the arrows, and the month's name under both, so that the arrows take
    // the clicks where they overlap.
    for (int i = 0; i < 2; ++i) {
        UDshape[i] = new QWidget(this);
        UDshape[i]->setObjectName(QStringLiteral("UDshape(%1)").arg(i));
        UDshape[i]->setAutoFillBackground(true);
        QPalette grey = UDshape[i]->palette();
        grey.setColor(QPalette::Window, FromOle(colours::LightGrey));
        UDshape[i]->setPalette(grey);
        UDshape[i]->setGeometry(TwipsRect(i == 0 ? 45 : 1830, 45, 165, 240));
        UDshape[i]->hide();
    }
    labMonth = new QLabel(this);
    labMonth->setObjectName(QStringLiteral("labMonth"));
    labMonth->setAlignment(Qt::AlignCenter);
    labMonth->setGeometry(TwipsRect(240, 45, 1620, 270));
    labMonth->setFont(ControlFont(9, true));
    for (int i = 0; i < 2; ++i) {
        labUD[i] = new ArrowLabel(this, i);
        labUD[i]->setObjectName(QStringLiteral("labUD(%1)").arg(i));
        labUD[i]->setGeometry(TwipsRect(i == 0 ? 45 : 1785, 15, 255, 240));
    }

    const char* names[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int column = 0; column < 7; ++column) {
        QLabel* day = new QLabel(QString::fromLatin1(names[column]), this);
        day->setObjectName(QStringLiteral("labDay(%1)").arg(column));
        day->setAlignment(Qt::AlignCenter);
        day->setAutoFillBackground(true);
        QPalette dark = day->palette();
        dark.setColor(QPalette::Window, FromOle(colours::DarkGrey));
        dark.setColor(QPalette::WindowText, FromOle(colours::White));
        day->setPalette(dark);
        day->setGeometry(TwipsRect(15 + 285 * column, 315, 315, 180));
        FitText(day, 6, false);
        labDay[column] = day;
    }
    for (int k = 0; k < tCalLogic::Cells; ++k) {
        const int row = k / 7;
        const int column = k % 7;
        QLabel* cell = new DayLabel(this, k);
        cell->setObjectName(QStringLiteral("labDayNo(%1)").arg(k));
        cell->setAlignment(Qt::AlignCenter);
        cell->setFont(ControlFont(8.25));
        cell->setGeometry(TwipsRect(45 + 285 * column, 525 + 240 * row, 255, 195));
        labDayNo[k] = cell;
    }
}

void tCal::paintEvent(QPaintEvent*)
{
    // The grid is drawn on every repaint, so that it survives anything drawn over the control.
    QPainter painter(this);
    painter.setPen(FromOle(colours::LightGrey));
    for (int i = 1; i <= 5; ++i)
        painter.drawLine(TwipsX(15), TwipsY(495 + 240 * i), TwipsX(2040), TwipsY(495 + 240 * i));
    for (int j = 1; j <= 6; ++j)
        painter.drawLine(TwipsX(15 + 285 * j), TwipsY(495), TwipsX(15 + 285 * j), TwipsY(1960));
    painter.setPen(FromOle(colours::Black));
    painter.drawRect(0, 0, TwipsX(2040), TwipsY(1965));
}

void tCal::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (InResize)
        return;
    InResize = true;
    const QSize fixed(TwipsX(WidthTwips), TwipsY(HeightTwips));
    if (size() != fixed || minimumSize() != fixed || maximumSize() != fixed)
        setFixedSize(fixed);
    InResize = false;
}

void tCal::hideEvent(QHideEvent* event)
{
    // A hidden arrow never sees its button released; stop repeating as if it had.
    if (MonthTimer.isActive())
        for (int i = 0; i < 2; ++i)
            if (!UDshape[i]->isHidden())
                logic.ArrowReleased(i);
    QWidget::hideEvent(event);
}

void tCal::ShowCells()
{
    if (labMonth->text() != QString::fromStdString(logic.MonthCaption())) {
        labMonth->setText(QString::fromStdString(logic.MonthCaption()));
        FitText(labMonth, 9, true);
    }
    for (int k = 0; k < tCalLogic::Cells; ++k) {
        labDayNo[k]->setText(QString::fromStdString(logic.CellCaption(k)));
        SetTextColour(labDayNo[k], logic.CellColour(k));
    }
}

void tCal::ShowShape(int arrow, bool visible)
{
    UDshape[arrow]->setVisible(visible);
}

void tCal::StartTimer(int intervalMs)
{
    // A host that hid the control when it reported the step (a dialog that closes on the
    // first date) gets no repeats: the button's release will never reach a hidden arrow.
    if (!isVisible()) {
        for (QWidget* shape : UDshape)
            shape->hide();
        return;
    }
    MonthTimer.start(intervalMs);
}

void tCal::StopTimer()
{
    MonthTimer.stop();
}

void tCal::DateChanged(double dte)
{
    if (dateChanged)
        dateChanged(dateChangedContext, dte);
}

void tCal::PropertyChanged(const char* name)
{
    if (propertyChanged)
        propertyChanged(propertyChangedContext, name);
}

} // namespace quillon
