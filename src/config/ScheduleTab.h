#pragma once

#include "config/ScheduleSettings.h"
#include "util/StoredCheckBox.h"
#include "util/TabContext.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace mallow {

/// The Schedule tab page: the weekly start times, the back-up folder and retention, and the
/// options of disconnecting users. Controls carry their names as object names.
class ScheduleTab : public QWidget
{
    Q_OBJECT

public:
    explicit ScheduleTab(const TabContext& context, QWidget* parent = nullptr);

    /// Start-up: shows the stored schedule and options in the controls and returns them, the
    /// start-up options (which the window's menus show) included.
    ScheduleSettings LoadSchedule();

    void cmdBrowseBackUpLoc_Click();
    void cmdSaveSchedule_Click();
    /// Runs the whole process now, backing up when "Back Up Also" is checked at this moment.
    void cmdRunNow_Click();
    /// The delay and message boxes follow the "Send message before disconnecting" box.
    void chkSendDisconnectMsg_Click();

    std::array<QLineEdit*, 7> weekdayBoxes{}; ///< Monday ... Sunday
    StoredCheckBox* chkEnabled = nullptr;
    QLineEdit* txtBack = nullptr;
    QPushButton* cmdBrowseBackUpLoc = nullptr;
    StoredCheckBox* chkBack = nullptr;
    QLineEdit* txtBUDays = nullptr;
    StoredCheckBox* chkSendDisconnectMsg = nullptr;
    QLineEdit* txtDelayBeforDisconnect = nullptr;
    QLineEdit* txtDisconnectMessage = nullptr;
    QPushButton* cmdSaveSchedule = nullptr;
    QPushButton* cmdRunNow = nullptr;
    QLabel* lblRemindStop = nullptr;

private:
    const TabContext& context;
};

} // namespace mallow
