#include "ScheduleTab.h"

#include "config/ConfigDatabase.h"
#include "util/Controls.h"
#include "util/FileDialogs.h"
#include "util/Handler.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mallow {

using namespace ui;

ScheduleTab::ScheduleTab(const TabContext& context, QWidget* parent)
    : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("tabSchedule"));
    auto* times = Named(new QGroupBox(QStringLiteral("Times to Run")), "fraTimes");
    auto* timesGrid = new QGridLayout(times);
    for (int i = 0; i < 7; ++i) {
        weekdayBoxes[i] = Named(new QLineEdit, WeekdayColumns[i]);
        timesGrid->addWidget(Label(WeekdayColumns[i]), i, 0);
        timesGrid->addWidget(weekdayBoxes[i], i, 1);
    }
    timesGrid->addWidget(Label("Ex. 12:00 AM", "lblTimeHint"), 7, 1);
    chkEnabled = Named(new StoredCheckBox(QStringLiteral("Enable Schedule")), "chkEnabled");
    timesGrid->addWidget(chkEnabled, 8, 0, 1, 2);
    timesGrid->setRowStretch(9, 1);

    txtBack = Named(new QLineEdit, "txtBack");
    cmdBrowseBackUpLoc =
        Button("cmdBrowseBackUpLoc", "Browse", "Browze to a folder to back up to.");
    chkBack = Named(new StoredCheckBox(QStringLiteral("Back Up Also")), "chkBack");
    txtBUDays = Named(new QLineEdit, "txtBUDays");
    txtBUDays->setMaximumWidth(60);

    auto* backup = Named(new QGroupBox(QStringLiteral("Back Up")), "fraBackup");
    auto* backupGrid = new QGridLayout(backup);
    backupGrid->addWidget(Label("Back up to :"), 0, 0);
    backupGrid->addWidget(txtBack, 0, 1, 1, 3);
    backupGrid->addWidget(cmdBrowseBackUpLoc, 0, 4);
    backupGrid->addWidget(chkBack, 1, 0);
    backupGrid->addWidget(Label("Keep back ups for"), 1, 1, Qt::AlignRight);
    backupGrid->addWidget(txtBUDays, 1, 2);
    backupGrid->addWidget(Label("days."), 1, 3);

    chkSendDisconnectMsg =
        Named(new StoredCheckBox(QStringLiteral("Send message before disconnecting")),
              "chkSendDisconnectMsg");
    txtDelayBeforDisconnect = Named(new QLineEdit, "txtDelayBeforDisconnect");
    txtDelayBeforDisconnect->setMaximumWidth(60);
    txtDisconnectMessage = Named(new QLineEdit, "txtDisconnectMessage");
    auto* options = Named(new QGroupBox(QStringLiteral("Options")), "fraOptions");
    auto* optionsGrid = new QGridLayout(options);
    optionsGrid->addWidget(chkSendDisconnectMsg, 0, 0, 1, 4);
    optionsGrid->addWidget(Label("Delay"), 1, 0);
    optionsGrid->addWidget(txtDelayBeforDisconnect, 1, 1);
    optionsGrid->addWidget(Label("seconds before disconnecting"), 1, 2, 1, 2);
    optionsGrid->addWidget(Label("Message"), 2, 0);
    optionsGrid->addWidget(txtDisconnectMessage, 2, 1, 1, 3);

    cmdSaveSchedule =
        Button("cmdSaveSchedule", "Save Schedule/Options", "Save the Schedule and Options");
    cmdRunNow = Button("cmdRunNow", "Run Now", "Run entire process now.");
    lblRemindStop = Label("Cts-s will stop the process.", "lblRemindStop");
    lblRemindStop->setVisible(false);

    auto* right = new QVBoxLayout;
    right->addWidget(backup);
    right->addWidget(options);
    auto* commands = new QHBoxLayout;
    commands->addWidget(cmdSaveSchedule);
    commands->addWidget(cmdRunNow);
    commands->addWidget(lblRemindStop);
    commands->addStretch();
    right->addLayout(commands);
    right->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(times);
    layout->addLayout(right, 1);

    connect(cmdBrowseBackUpLoc, &QPushButton::clicked, this,
            &ScheduleTab::cmdBrowseBackUpLoc_Click);
    connect(cmdSaveSchedule, &QPushButton::clicked, this, &ScheduleTab::cmdSaveSchedule_Click);
    connect(cmdRunNow, &QPushButton::clicked, this, &ScheduleTab::cmdRunNow_Click);
    connect(chkSendDisconnectMsg, &QCheckBox::clicked, this,
            &ScheduleTab::chkSendDisconnectMsg_Click);
}

ScheduleSettings ScheduleTab::LoadSchedule()
{
    const ScheduleSettings settings = ReadScheduleSettings(*context.config.ScheduleRecordset);
    for (std::size_t i = 0; i < weekdayBoxes.size(); ++i)
        weekdayBoxes[i]->setText(Q(settings.times[i]));
    txtBack->setText(Q(settings.backup));
    txtDisconnectMessage->setText(Q(settings.message));
    txtBUDays->setText(Q(settings.keepDays));
    txtDelayBeforDisconnect->setText(Q(settings.delay));
    chkEnabled->SetValue(settings.enabled);
    chkBack->SetValue(settings.backUpAlso);
    chkSendDisconnectMsg->SetValue(settings.sendDisconnectMessage);
    return settings;
}

void ScheduleTab::cmdBrowseBackUpLoc_Click()
{
    RunHandler(context.prompter, "cmdBrowseBackUpLoc_Click", [this] {
        const std::string folder =
            context.dialogs.BrowseForFolder("What folder you want to back up to ?");
        if (folder.empty())
            return;
        txtBack->setText(Q(folder));
        // The shared schedule row carries the folder from now on; it is written to the file
        // with the schedule.
        context.config.ScheduleRecordset->MoveFirst();
        context.config.ScheduleRecordset->SetField("Backup", folder);
    });
}

void ScheduleTab::cmdSaveSchedule_Click()
{
    RunHandler(context.prompter, "cmdSaveSchedule_Click", [this] {
        ScheduleSettings settings;
        for (std::size_t i = 0; i < weekdayBoxes.size(); ++i)
            settings.times[i] = weekdayBoxes[i]->text().toStdString();
        settings.backup = txtBack->text().toStdString();
        settings.enabled = chkEnabled->Value();
        settings.backUpAlso = chkBack->Value();
        settings.keepDays = txtBUDays->text().toStdString();
        settings.sendDisconnectMessage = chkSendDisconnectMsg->Value();
        settings.delay = txtDelayBeforDisconnect->text().toStdString();
        settings.message = txtDisconnectMessage->text().toStdString();
        SaveScheduleSettings(*context.config.ScheduleRecordset, settings);
        context.prompter.MsgBox("The schedule has been saved.");
    });
}

void ScheduleTab::cmdRunNow_Click()
{
    RunHandler(context.prompter, "cmdRunNow_Click", [this] {
        lblRemindStop->setVisible(true);
        context.links.ClearSummary();
        context.links.RunMaintenance(chkBack->Value() == 1);
        lblRemindStop->setVisible(false);
    });
}

void ScheduleTab::chkSendDisconnectMsg_Click()
{
    RunHandler(context.prompter, "chkSendDisconnectMsg_Click", [this] {
        const bool on = chkSendDisconnectMsg->Value() == 1;
        txtDelayBeforDisconnect->setEnabled(on);
        txtDisconnectMessage->setEnabled(on);
    });
}

} // namespace mallow
