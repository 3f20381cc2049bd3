#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/ScheduleSettings.h"
#include "util/Handler.h"

// The controls of the main window, built once with their names, captions and tips.

namespace mallow {

namespace {

template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* Button(const char* name, const char* caption, const char* tip = nullptr)
{
    auto* button = Named(new QPushButton(QString::fromUtf8(caption)), name);
    if (tip)
        button->setToolTip(QString::fromUtf8(tip));
    return button;
}

QLabel* Label(const char* caption, const char* name = nullptr)
{
    auto* label = new QLabel(QString::fromUtf8(caption));
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

frmMain::frmMain(ShellServices services, QWidget* parent)
    : QMainWindow(parent), CompactModule(Config, *services.clock, *this, LastResultText),
      services(std::move(services))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Mallow"));

    SSTab1 = Named(new QTabWidget, "SSTab1");
    const char* tabs[4] = {"Applications", "Schedule", "Results", "Multi-User"};
    QWidget* pages[4];
    for (int i = 0; i < 4; ++i) {
        pages[i] = new QWidget;
        SSTab1->addTab(pages[i], QString::fromUtf8(tabs[i]));
    }
    BuildApplicationsTab(pages[0]);
    BuildScheduleTab(pages[1]);
    BuildResultsTab(pages[2]);
    BuildMultiUserTab(pages[3]);
    setCentralWidget(SSTab1);

    BuildMenus();
    BuildStatusBar();

    Timer1 = Named(new QTimer(this), "Timer1");
    ConnectHandlers();

    // The window sees every key before its controls do, so Ctrl+S works wherever the focus is.
    qApp->installEventFilter(this);
    resize(860, 600);
}

void frmMain::BuildMenus()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));

    QMenu* mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuImport = mnuOptions->addAction(QStringLiteral("Import Application List"));
    mnuImport->setObjectName(QStringLiteral("mnuImport"));
    mnuRunStartup = mnuOptions->addAction(QStringLiteral("Run at Startup"));
    mnuRunStartup->setObjectName(QStringLiteral("mnuRunStartup"));
    mnuRunStartup->setCheckable(true);
    mnuMinimizeStartup = mnuOptions->addAction(QStringLiteral("Minimize on Startup"));
    mnuMinimizeStartup->setObjectName(QStringLiteral("mnuMinimizeStartup"));
    mnuMinimizeStartup->setCheckable(true);

    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAboutMallow = mnuHelp->addAction(QStringLiteral("&About Mallow"));
    mnuAboutMallow->setObjectName(QStringLiteral("mnuAboutMallow"));
    mnuMallowHelp = mnuHelp->addAction(QStringLiteral("&Mallow Help"));
    mnuMallowHelp->setObjectName(QStringLiteral("mnuMallowHelp"));

    // The tray's pop-up menu belongs to the window but never shows in its menu bar.
    mnuTray = new QMenu(QStringLiteral("Popup"), this);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));

    connect(mnuExit, &QAction::triggered, this, [this] {
        RunHandler(*services.prompter, "mnuExit_Click", [this] { close(); });
    });
}

void frmMain::BuildApplicationsTab(QWidget* page)
{
    lstApplications = Named(new QListWidget, "lstApplications");
    // Every line is one line of text: the list need not measure each of thousands of lines.
    lstApplications->setUniformItemSizes(true);
    cmdAdd = Button("cmdAdd", "Add", "Add a new database");
    cmdRemove = Button("cmdRemove", "Remove", "Remove selected database");
    cmdCompactCurrent = Button("cmdCompactCurrent", "Compact", "Compact selected database");
    cmdBackup = Button("cmdBackup", "Back Up");
    cmdOpen = Button("cmdOpen", "Open", "Open the selected database.");
    cmdFind = Button("cmdFind", "Find");
    cmdSaveDatabaseInfo =
        Button("cmdSaveDatabaseInfo", "Save Database Information", "Save the database info.");
    txtMDW = Named(new QLineEdit, "txtMDW");
    txtPassword = Named(new QLineEdit, "txtPassword");
    txtUserName = Named(new QLineEdit, "txtUserName");
    txtUserPassword = Named(new QLineEdit, "txtUserPassword");
    cmdBrowseSystemFile = Button("cmdBrowseSystemFile", "Browse",
                                 "Browze to the system file for the selected database.");
    chkDisconnect = Named(new StoredCheckBox(QStringLiteral("Disconnect Users")), "chkDisconnect");

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdAdd, cmdRemove, cmdCompactCurrent, cmdBackup, cmdOpen, cmdFind})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* security = Named(new QGroupBox(QStringLiteral("Security")), "fraSecurity");
    auto* grid = new QGridLayout(security);
    grid->addWidget(Label("System File (MDW) :"), 0, 0);
    grid->addWidget(txtMDW, 0, 1);
    grid->addWidget(cmdBrowseSystemFile, 0, 2);
    grid->addWidget(Label("Database Password :"), 1, 0);
    grid->addWidget(txtPassword, 1, 1);
    grid->addWidget(Label("User Name:"), 2, 0);
    grid->addWidget(txtUserName, 2, 1);
    grid->addWidget(Label("User Password:"), 3, 0);
    grid->addWidget(txtUserPassword, 3, 1);
    grid->addWidget(chkDisconnect, 4, 1);
    grid->addWidget(cmdSaveDatabaseInfo, 4, 2);

    auto* top = new QHBoxLayout;
    top->addWidget(lstApplications, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top, 1);
    layout->addWidget(security);
}

void frmMain::BuildScheduleTab(QWidget* page)
{
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

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(times);
    layout->addLayout(right, 1);
}

void frmMain::BuildResultsTab(QWidget* page)
{
    SSTab2 = Named(new QTabWidget, "SSTab2");

    auto* view = new QWidget;
    optLog = Named(new QRadioButton(QStringLiteral("Compact Log")), "optLog");
    optLogBack = Named(new QRadioButton(QStringLiteral("Back Up Log")), "optLogBack");
    auto* viewLayout = new QHBoxLayout(view);
    viewLayout->addWidget(optLog);
    viewLayout->addWidget(optLogBack);
    viewLayout->addStretch();

    auto* criteria = new QWidget;
    cboApps = Named(new QComboBox, "cboApps");
    cboApps->setEditable(true);
    cboApps->setInsertPolicy(QComboBox::NoInsert);
    // The combo box completes by its own rules (type-ahead below), not Qt's.
    cboApps->setCompleter(nullptr);
    // Sized by a number of characters, not by measuring each of its lines.
    cboApps->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboApps->setMinimumContentsLength(40);
    txtBeginningDate = Named(new QLineEdit, "txtBeginningDate");
    txtEndingDate = Named(new QLineEdit, "txtEndingDate");
    ChooseBeginDate = Button("ChooseBeginDate", "...");
    ChooseEndDate = Button("ChooseEndDate", "...");
    ChooseBeginDate->setMaximumWidth(32);
    ChooseEndDate->setMaximumWidth(32);
    cmdRefresh = Button("cmdRefresh", "Refresh");
    auto* criteriaGrid = new QGridLayout(criteria);
    criteriaGrid->addWidget(Label("Select an Application : ", "Label5"), 0, 0);
    criteriaGrid->addWidget(cboApps, 0, 1, 1, 5);
    criteriaGrid->addWidget(Label("Beginning Date", "lblBeginDate"), 1, 0);
    criteriaGrid->addWidget(txtBeginningDate, 1, 1);
    criteriaGrid->addWidget(ChooseBeginDate, 1, 2);
    criteriaGrid->addWidget(Label("Ending Date", "lblEndingDate"), 1, 3);
    criteriaGrid->addWidget(txtEndingDate, 1, 4);
    criteriaGrid->addWidget(ChooseEndDate, 1, 5);
    criteriaGrid->addWidget(cmdRefresh, 1, 6);
    criteriaGrid->setColumnStretch(1, 1);
    criteriaGrid->setColumnStretch(4, 1);

    auto* actions = new QWidget;
    cmdPrint = Button("cmdPrint", "Print Results", "Print the results to the default printer.");
    txtRemoveDataBefore = Named(new QLineEdit, "txtRemoveDataBefore");
    cmdRemoveOldData = Button("cmdRemoveOldData", "Remove");
    auto* actionsLayout = new QHBoxLayout(actions);
    actionsLayout->addWidget(cmdPrint);
    actionsLayout->addSpacing(24);
    actionsLayout->addWidget(Label("Remove Log Data Before this Date:", "Label4"));
    actionsLayout->addWidget(txtRemoveDataBefore);
    actionsLayout->addWidget(cmdRemoveOldData);
    actionsLayout->addStretch();

    SSTab2->addTab(view, QStringLiteral("View"));
    SSTab2->addTab(criteria, QStringLiteral("Criteria"));
    SSTab2->addTab(actions, QStringLiteral("Actions"));
    SSTab2->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    // The grid and the summary text share one area; the commands switch between them.
    MSFlexGrid1 = Named(new QTableWidget, "MSFlexGrid1");
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rtfSummary = Named(new QTextEdit, "rtfSummary");
    rtfSummary->setReadOnly(true);
    resultsArea = Named(new QStackedWidget, "resultsArea");
    resultsArea->addWidget(MSFlexGrid1);
    resultsArea->addWidget(rtfSummary);
    lblProcessing = Label("Processing ...", "lblProcessing");
    lblProcessing->setVisible(false);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(SSTab2);
    layout->addWidget(lblProcessing);
    layout->addWidget(resultsArea, 1);
}

void frmMain::BuildMultiUserTab(QWidget* page)
{
    lstMUAvailDBs = Named(new QListWidget, "lstMUAvailDBs");
    lstMUAvailDBs->setUniformItemSizes(true);
    ListView1 = Named(new QTreeWidget, "ListView1");
    ListView1->setColumnCount(0);
    cmdSendMsg = Button("cmdSendMsg", "Send Message");
    cmdCloseFile = Button("cmdCloseFile", "Disconnect");
    cmdFindMU = Button("cmdFindMU", "Find");

    auto* left = new QVBoxLayout;
    left->addWidget(Label("Available Databases", "Label9"));
    left->addWidget(lstMUAvailDBs, 1);
    left->addWidget(cmdFindMU, 0, Qt::AlignLeft);
    auto* right = new QVBoxLayout;
    right->addWidget(Label("Active Users", "Label10"));
    right->addWidget(ListView1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSendMsg);
    buttons->addWidget(cmdCloseFile);
    buttons->addStretch();
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
}

void frmMain::BuildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    const char* designTexts[5] = {"Status", "Current Application", "Application x of n",
                                  "Current Day", ""};
    const int stretch[5] = {1, 3, 1, 1, 0};
    for (int i = 0; i < 5; ++i) {
        statusPanels[i] = new QLabel(QString::fromUtf8(designTexts[i]));
        statusPanels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        statusPanels[i]->setFrameShape(QFrame::StyledPanel);
        statusPanels[i]->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(statusPanels[i], stretch[i]);
    }
    // Panel 5 is a clock that keeps itself current.
    auto* clockTimer = new QTimer(this);
    connect(clockTimer, &QTimer::timeout, this, &frmMain::UpdateClock);
    clockTimer->start(1000);
    UpdateClock();
}

} // namespace mallow
