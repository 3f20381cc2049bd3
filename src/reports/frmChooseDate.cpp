#include "frmChooseDate.h"

#include "util/Dates.h"
#include "util/Handler.h"
#include "util/MallowError.h"

#include <QLineEdit>
#include <QScreen>

#include <cmath>

namespace mallow {

namespace {

constexpr long CantCreateObject = 429;

int TwipsToPixels(int twips, double dotsPerInch)
{
    return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

} // namespace

frmChooseDate::frmChooseDate(QWidget* owner, QLineEdit* txtBeginningDate, QLineEdit* txtEndingDate,
                             const std::string& storePath)
    : QDialog(owner), txtBeginningDate(txtBeginningDate), txtEndingDate(txtEndingDate)
{
    setObjectName(QStringLiteral("frmChooseDate"));
    setWindowTitle(QStringLiteral("Choose Date"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    component =
        platform::GetClassObjectByProgID(QUILLON_PROGID_TCAL, QUILLON_IID_TCALFACTORY, storePath);
    factory = static_cast<const QuillonTCalFactory*>(component.object);
    if (factory->size < sizeof(QuillonTCalFactory))
        throw MallowError(CantCreateObject, "CreateObject",
                          "Can't create the object \"" QUILLON_PROGID_TCAL "\": its library " +
                              component.library->Path() + " is of an older version.");
    calendar = factory->CreateInstance(this);
    if (!calendar)
        throw MallowError(CantCreateObject, "CreateObject",
                          "Can't create the object \"" QUILLON_PROGID_TCAL "\": its library " +
                              component.library->Path() + " did not create the control.");
    calendarWidget = static_cast<QWidget*>(factory->Widget(calendar));
    calendarWidget->setObjectName(QStringLiteral("tCal1"));
    factory->ConnectDateChanged(
        calendar,
        [](void* context, double dte) {
            static_cast<frmChooseDate*>(context)->tCal1_DateChanged(dte);
        },
        this);

    const QScreen* display = owner ? owner->screen() : screen();
    const double dpiX = display ? display->logicalDotsPerInchX() : 96;
    const double dpiY = display ? display->logicalDotsPerInchY() : 96;
    setFixedSize(TwipsToPixels(2325, dpiX), TwipsToPixels(2220, dpiY));
    calendarWidget->move(TwipsToPixels(120, dpiX), TwipsToPixels(120, dpiY));
}

frmChooseDate::~frmChooseDate()
{
    // The control's code lives in the library, which may be unloaded when `component` goes:
    // the control must be gone first.
    if (calendar)
        factory->Destroy(calendar);
}

void frmChooseDate::tCal1_DateChanged(double dte)
{
    // Only the first date counts: a held arrow may repeat before the dialog is gone.
    if (answered)
        return;
    answered = true;
    const QString text = QString::fromStdString(dates::Format(dates::DateOnly(dte), "mm/dd/yyyy"));
    if (DateTarget == QLatin1String("BeginDate") && txtBeginningDate)
        txtBeginningDate->setText(text);
    else if (DateTarget == QLatin1String("EndDate") && txtEndingDate)
        txtEndingDate->setText(text);
    accept();
}

void ShowDateChooser(QWidget& owner, const QWidget& button, const QString& dateTarget,
                     QLineEdit* txtBeginningDate, QLineEdit* txtEndingDate)
{
    frmChooseDate dialog(&owner, txtBeginningDate, txtEndingDate);
    dialog.DateTarget = dateTarget;
    // The dialog's top is the button's plus the window's; its left is the button's alone.
    dialog.move(button.x(), button.y() + owner.y());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}

void ChooseBeginDate_Click(Prompter& prompter, QWidget& owner, const QWidget& ChooseBeginDate,
                           QLineEdit& txtBeginningDate)
{
    RunHandler(prompter, "errChooseBeginDate", [&] {
        ShowDateChooser(owner, ChooseBeginDate, QStringLiteral("BeginDate"), &txtBeginningDate,
                        nullptr);
    });
}

void ChooseEndDate_Click(Prompter& prompter, QWidget& owner, const QWidget& ChooseEndDate,
                         QLineEdit& txtEndingDate)
{
    RunHandler(prompter, "errChooseEndDate", [&] {
        ShowDateChooser(owner, ChooseEndDate, QStringLiteral("EndDate"), nullptr, &txtEndingDate);
    });
}

} // namespace mallow
