#pragma once

#include "calendar/quillon.h"
#include "platform/ComponentLoader.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <string>

class QLineEdit;

namespace mallow {

class Prompter;

/// The date chooser: a small modal dialog that holds one month calendar, created from the
/// calendar library by its programmatic identifier. The first date the calendar reports is
/// written into the date box named by DateTarget as "mm/dd/yyyy", and the dialog closes.
/// Closing it through its frame writes nothing.
class frmChooseDate : public QDialog
{
public:
    /// Loads the calendar library registered in the registry store at `storePath` and places
    /// the calendar. Throws MallowError 429, saying why, when the control cannot be created.
    frmChooseDate(QWidget* owner, QLineEdit* txtBeginningDate, QLineEdit* txtEndingDate,
                  const std::string& storePath = registry::Store::DefaultPath());
    ~frmChooseDate() override;

    /// "BeginDate" writes txtBeginningDate, "EndDate" txtEndingDate; anything else writes no box.
    QString DateTarget;

    /// The calendar control's widget.
    QWidget* tCal1() const { return calendarWidget; }

    /// The calendar reported `dte`: write it into the target box and close.
    void tCal1_DateChanged(double dte);

private:
    platform::ClassObject component;
    const QuillonTCalFactory* factory = nullptr;
    QuillonControl* calendar = nullptr;
    QWidget* calendarWidget = nullptr;
    QPointer<QLineEdit> txtBeginningDate;
    QPointer<QLineEdit> txtEndingDate;
    bool answered = false;
};

/// Opens the date chooser for `dateTarget` ("BeginDate" or "EndDate"), placed by `button` of
/// the window `owner`, and returns when it has closed. Throws when it cannot be created.
void ShowDateChooser(QWidget& owner, const QWidget& button, const QString& dateTarget,
                     QLineEdit* txtBeginningDate, QLineEdit* txtEndingDate);

/// The handlers of the buttons beside the results' date boxes: each opens the chooser for its
/// box, owned by `owner`, and reports a failure in the error box.
void ChooseBeginDate_Click(Prompter& prompter, QWidget& owner, const QWidget& ChooseBeginDate,
                           QLineEdit& txtBeginningDate);
void ChooseEndDate_Click(Prompter& prompter, QWidget& owner, const QWidget& ChooseEndDate,
                         QLineEdit& txtEndingDate);

} // namespace mallow
