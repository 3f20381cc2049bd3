#include "frmMain.h"

#include "Hourglass.h"
#include "config/ApplicationList.h"
#include "net/modGetOS.h"
#include "util/Dates.h"
#include "util/Handler.h"
#include "util/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mallow {

namespace {

const char* const WindowTitle = "Mallow V 2.1";
const char* const AccessFilter = "Access Databases (*.MDB)|*.mdb";
const char* const DriveRoot = "C:\\";
const char* const WeekdayColumns[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                       "Friday", "Saturday", "Sunday"};
constexpr int ItemDataRole = Qt::UserRole;

QString Q(const std::string& text) { return QString::fromStdString(text); }

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

// A check box shows a stored integer column: 1 checked, anything else (Null included) not.
Qt::CheckState CheckStateOf(const engine::Value& value)
{
    if (value.IsNull())
        return Qt::Unchecked;
    const auto state = value.ToLong();
    return state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

// The value a check box stores: 0 unchecked, 1 checked, 2 greyed.
int CheckValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

// Twips are 1/1440 inch; the screen's logical resolution turns them into pixels.
int TwipsToPixels(int twips, const QWidget* widget)
{
    return twips * widget->logicalDpiX() / 1440;
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

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    if (!unloaded)
        Form_Unload();
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
    chkDisconnect = Named(new QCheckBox(QStringLiteral("Disconnect Users")), "chkDisconnect");

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
    chkEnabled = Named(new QCheckBox(QStringLiteral("Enable Schedule")), "chkEnabled");
    timesGrid->addWidget(chkEnabled, 8, 0, 1, 2);
    timesGrid->setRowStretch(9, 1);

    txtBack = Named(new QLineEdit, "txtBack");
    cmdBrowseBackUpLoc =
        Button("cmdBrowseBackUpLoc", "Browse", "Browze to a folder to back up to.");
    chkBack = Named(new QCheckBox(QStringLiteral("Back Up Also")), "chkBack");
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

    chkSendDisconnectMsg = Named(new QCheckBox(QStringLiteral("Send message before disconnecting")),
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

void frmMain::UpdateClock()
{
    statusPanels[4]->setText(Q(dates::Format(Now(), "h:nn AMPM")));
}

double frmMain::Now() const
{
    return services.clock->Now();
}

std::string frmMain::ProgramFile(const std::string& name) const
{
    return services.programFolder + SeparatorOf(services.programFolder) + name;
}

void frmMain::Start()
{
    Form_Load();
    if (startHidden)
        return;
    show();
}

void frmMain::Form_Load()
{
    RunHandler(*services.prompter, "Form_Load", [this] {
        const double now = Now();
        const QString today = Q(dates::ShortDate(now));
        txtBeginningDate->setText(today);
        txtEndingDate->setText(today);

        HelpFile = ProgramFile("mallow.chm");

        Config.Open(services.programFolder);

        FillList();
        if (lstApplications->count() > 0)
            lstApplications->setCurrentRow(0);

        LoadSchedule();

        SetStatusPanel(1, "Waiting...");
        SetStatusPanel(4, dates::Format(now, "dddd"));

        setWindowIcon(QIcon(Q(NativePath(ProgramFile("Mallow.ico")))));

        Timer1->setInterval(60000);
        Timer1->start();

        cmdBackup->setToolTip(QStringLiteral("Back up the selected database to ") +
                              txtBack->text());

        SSTab1->setCurrentIndex(0);
        optLog->setChecked(true);
        cboApps->setEditText(QStringLiteral("All (Show All)"));
        FillCombo();

        ListView1->clear();
        ListView1->setRootIsDecorated(false);
        ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
        ListView1->setAllColumnsShowFocus(true);
        ListView1->setAlternatingRowColors(true);
        ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        ListView1->setHeaderLabels(
            {QStringLiteral("NT User ID"), QStringLiteral("Computer Name"),
             QStringLiteral("Access User ID")});
        for (int column = 0; column < 3; ++column)
            ListView1->setColumnWidth(column, TwipsToPixels(2400, ListView1));
        ListView1->setSortingEnabled(true);
        ListView1->sortByColumn(0, Qt::AscendingOrder);

        // The 9x family has no server calls to find and disconnect users with.
        if (net::modGetOS::IsWin9xFamily(services.version ? *services.version
                                                          : platform::SystemVersion())) {
            chkDisconnect->setEnabled(false);
            SSTab1->setTabEnabled(3, false);
        }

        setWindowTitle(QLatin1String(WindowTitle));
    });
}

void frmMain::LoadSchedule()
{
    engine::Recordset schedule = Config.ScheduleRecordset->Clone();
    schedule.MoveFirst();
    for (int i = 0; i < 7; ++i)
        weekdayBoxes[i]->setText(Q(schedule.Field(WeekdayColumns[i]).ToText()));
    txtBack->setText(Q(schedule.Field("Backup").ToText()));
    txtDisconnectMessage->setText(Q(schedule.Field("DisconnectMessage").ToText()));
    const engine::Value days = schedule.Field("BUDays");
    txtBUDays->setText(days.IsNull() ? QStringLiteral("1") : Q(days.ToText()));
    txtDelayBeforDisconnect->setText(Q(schedule.Field("DelayBeforeDisconnect").ToText()));
    chkEnabled->setCheckState(CheckStateOf(schedule.Field("Enabled")));
    chkBack->setCheckState(CheckStateOf(schedule.Field("BUEnabled")));
    chkSendDisconnectMsg->setCheckState(CheckStateOf(schedule.Field("SendDisconnectMsg")));

    const auto isOne = [](const engine::Value& v) { return !v.IsNull() && v.ToLong() == 1; };
    mnuRunStartup->setChecked(isOne(schedule.Field("RunAtStartup")));
    const bool minimize = isOne(schedule.Field("MinimizeAtStartup"));
    mnuMinimizeStartup->setChecked(minimize);
    if (minimize) {
        // Hiding needs a tray icon to come back from; without a tray host the window starts
        // minimized instead, so it can never be lost.
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            startHidden = true;
            hide();
        } else {
            setWindowState(windowState() | Qt::WindowMinimized);
        }
    }
}

namespace {

struct ApplicationLines
{
    QStringList paths;
    QList<qlonglong> ids;
};

// Every application in the row set's order, read in one pass over a clone.
ApplicationLines ReadApplicationLines(const engine::Recordset& appsRecordset)
{
    ApplicationLines lines;
    engine::Recordset apps = appsRecordset.Clone();
    if (apps.RecordCount() == 0)
        return lines;
    lines.paths.reserve(apps.RecordCount());
    lines.ids.reserve(apps.RecordCount());
    apps.MoveFirst();
    while (!apps.Eof()) {
        const engine::Value path = apps.Field("App");
        const std::string_view text = path.TextView();
        lines.paths << (path.GetType() == engine::Value::Type::Text
                            ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                            : Q(path.ToText()));
        lines.ids << apps.Field("App ID").ToLong();
        apps.MoveNext();
    }
    return lines;
}

} // namespace

void frmMain::FillList()
{
    const ApplicationLines lines = ReadApplicationLines(*Config.AppsRecordset);
    // One insertion per list; the App IDs are attached without signalling each one, since no
    // view shows them.
    const int first = lstApplications->count();
    lstApplications->addItems(lines.paths);
    {
        const QSignalBlocker quiet(lstApplications->model());
        for (qsizetype i = 0; i < lines.ids.size(); ++i)
            lstApplications->item(first + static_cast<int>(i))
                ->setData(ItemDataRole, lines.ids[i]);
    }
    lstMUAvailDBs->addItems(lines.paths);
}

void frmMain::FillCombo()
{
    const ApplicationLines lines = ReadApplicationLines(*Config.AppsRecordset);
    QList<QStandardItem*> items;
    items.reserve(lines.paths.size() + 1);
    auto line = [&items](const QString& text, qlonglong id) {
        auto* item = new QStandardItem(text);
        item->setData(id, ItemDataRole);
        items << item;
    };
    line(QStringLiteral("All (Show All)"), 0);
    for (qsizetype i = 0; i < lines.paths.size(); ++i)
        line(lines.paths[i], lines.ids[i]);
    auto* model = qobject_cast<QStandardItemModel*>(cboApps->model());
    model->invisibleRootItem()->appendRows(items);
    if (cboApps->currentIndex() < 0)
        cboApps->setCurrentIndex(0);
}

void frmMain::ResetStatusPanels()
{
    SetStatusPanel(1, "Waiting...");
    SetStatusPanel(2, "");
    SetStatusPanel(3, "");
}

void frmMain::SetStatusPanel(int index, const std::string& text)
{
    statusPanels.at(index - 1)->setText(Q(text));
}

std::string frmMain::StatusPanel(int index) const
{
    return statusPanels.at(index - 1)->text().toStdString();
}

void frmMain::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    RunHandler(*services.prompter, "Form_KeyDown", [&] {
        if ((shift & Qt::ControlModifier) && keyCode == Qt::Key_S)
            ContinueRun = false;
    });
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (cboApps && watched == cboApps) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            Form_KeyDown(key->key(), key->modifiers());
            if (cboApps_KeyDown(key->key()))
                return true;
            const QString text = key->text();
            cboApps_KeyPress(text.isEmpty() ? 0 : text.at(0).unicode());
            return false;
        }
        // Opening the combo box's own list is no leaving of the combo box.
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            cboApps_LostFocus();
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A key travels up from the focused control through its parents; act on it once.
        if (!key->isAutoRepeat() && watched == QApplication::focusWidget())
            Form_KeyDown(key->key(), key->modifiers());
        else if (!QApplication::focusWidget() && watched == this)
            Form_KeyDown(key->key(), key->modifiers());
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    if (unloaded)
        return;
    unloaded = true;
    RunHandler(*services.prompter, "Form_Unload", [this] {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        Timer1->stop();
        Config.Close();
    });
}

void frmMain::ConnectHandlers()
{
    connect(cmdAdd, &QPushButton::clicked, this, &frmMain::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmMain::cmdRemove_Click);
    connect(cmdSaveDatabaseInfo, &QPushButton::clicked, this, &frmMain::cmdSaveDatabaseInfo_Click);
    connect(cmdBrowseSystemFile, &QPushButton::clicked, this, &frmMain::cmdBrowseSystemFile_Click);
    connect(cmdBrowseBackUpLoc, &QPushButton::clicked, this, &frmMain::cmdBrowseBackUpLoc_Click);
    connect(cmdSaveSchedule, &QPushButton::clicked, this, &frmMain::cmdSaveSchedule_Click);
    connect(mnuImport, &QAction::triggered, this, &frmMain::mnuImport_Click);
    connect(cmdCompactCurrent, &QPushButton::clicked, this, &frmMain::cmdCompactCurrent_Click);
    connect(cmdBackup, &QPushButton::clicked, this, &frmMain::cmdBackup_Click);
    // A line becomes the chosen one by mouse, by keyboard or from code; emptying the list
    // chooses none and is no click.
    connect(lstApplications, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            lstApplications_Click();
    });
    connect(cboApps->lineEdit(), &QLineEdit::textEdited, this, &frmMain::cboApps_Change);
    // The combo box receives the keys and focus changes and hands keys on to its edit line.
    cboApps->installEventFilter(this);
}

long frmMain::ChosenAppId() const
{
    QListWidgetItem* item = lstApplications->currentItem();
    if (!item || lstApplications->currentRow() < 0)
        RaiseRuntimeError(err::InvalidPropertyArrayIndex, "lstApplications");
    return static_cast<long>(item->data(ItemDataRole).toLongLong());
}

void frmMain::RefillLists()
{
    lstApplications->clear();
    lstMUAvailDBs->clear();
    FillList();
}

void frmMain::FindFirst(long appId)
{
    RunHandler(*services.prompter, "FindFirst", [&] {
        engine::Recordset apps = Config.AppsRecordset->Clone();
        apps.MoveFirst();
        apps.Find("[App ID] = " + std::to_string(appId));
        txtPassword->setText(Q(apps.Field("Password").ToText()));
        txtMDW->setText(Q(apps.Field("MDW").ToText()));
        txtUserName->setText(Q(apps.Field("UserName").ToText()));
        txtUserPassword->setText(Q(apps.Field("UserPassword").ToText()));
        chkDisconnect->setCheckState(CheckStateOf(apps.Field("LogUsersOff")));
        SetStatusPanel(2, CurrentApplicationText(apps.Field("App").ToText()));
    });
}

void frmMain::lstApplications_Click()
{
    RunHandler(*services.prompter, "lstApplications_Click", [this] { FindFirst(ChosenAppId()); });
}

void frmMain::cmdAdd_Click()
{
    RunHandler(*services.prompter, "cmdAdd_Click", [this] {
        OpenFileRequest request;
        request.title = "Add a new database";
        request.filter = AccessFilter;
        request.multiSelect = true;
        const std::string chosen = ShowOpenDialog(*services.dialogs, request);
        if (chosen.empty())
            return;
        const int count = CountFilesInList(chosen);
        long lastId = 0;
        for (int k = 1; k <= count; ++k) {
            Config.AppsRecordset->AddNew();
            Config.AppsRecordset->SetField("App", GetFileFromList(chosen, k));
            lastId = static_cast<long>(Config.AppsRecordset->Field("App ID").ToLong());
            Config.AppsRecordset->Update();
        }
        Config.AppsRecordset->Requery();
        RefillLists();
        FindFirst(lastId);
        services.prompter->MsgBox(
            "If needed, add security info and click the 'Save Database Information' button.");
    });
}

void frmMain::cmdRemove_Click()
{
    RunHandler(
        *services.prompter, "cmdRemove_Click",
        [this] {
            if (lstApplications->currentRow() < 0) {
                services.prompter->MsgBox("Please select an application.");
                return;
            }
            const std::string line = lstApplications->currentItem()->text().toStdString();
            if (!services.prompter->Confirm(
                    "Are you sure you want to remove " + line + " from the list ?",
                    "Remove Application"))
                return;
            engine::Recordset apps = Config.AppsRecordset->Clone();
            apps.MoveFirst();
            apps.Find("[App ID] = " + std::to_string(ChosenAppId()));
            apps.Delete();
            RefillLists();
        },
        SelectApplicationFirst(*services.prompter));
}

void frmMain::cmdSaveDatabaseInfo_Click()
{
    RunHandler(
        *services.prompter, "cmdSaveDatabaseInfo_Click",
        [this] {
            if (Config.AppsRecordset->RecordCount() == 0) {
                services.prompter->MsgBox("There are currently no applications available.");
                return;
            }
            engine::Recordset apps = Config.AppsRecordset->Clone();
            apps.MoveFirst();
            apps.Find("[App ID] = " + std::to_string(ChosenAppId()));
            apps.SetField("Password", txtPassword->text().toStdString());
            apps.SetField("MDW", txtMDW->text().toStdString());
            apps.SetField("UserName", txtUserName->text().toStdString());
            apps.SetField("UserPassword", txtUserPassword->text().toStdString());
            apps.SetField("LogUsersOff", CheckValue(chkDisconnect));
            apps.Update();
            services.prompter->MsgBox("The database information has been saved.");
            lstApplications->setFocus();
        },
        SelectApplicationFirst(*services.prompter));
}

void frmMain::mnuImport_Click()
{
    RunHandler(
        *services.prompter, "mnuImport_Click",
        [this] {
            OpenFileRequest request;
            request.title = "Import Application List";
            request.fileName = "Compact.mdb";
            request.filter = AccessFilter;
            request.initialFolder = DriveRoot;
            request.cancelError = true;
            const std::string path = ShowOpenDialog(*services.dialogs, request);

            engine::Connection source;
            source.Open(ConfigDatabase::ConnectionStringFor(path), "", "");
            auto rows = ConfigDatabase::OpenKeyset(source, "Select * from Apps;", engine::adCmdText);
            if (rows->RecordCount() == 0) {
                services.prompter->MsgBox("There are no records to import.");
            } else {
                rows->MoveFirst();
                while (!rows->Eof()) {
                    Config.AppsRecordset->AddNew();
                    for (const char* column : {"App", "Password", "MDW", "UserName", "UserPassword"})
                        Config.AppsRecordset->SetField(column, rows->Field(column));
                    Config.AppsRecordset->Update();
                    rows->MoveNext();
                }
                Config.AppsRecordset->Requery();
                services.prompter->MsgBox("Applications have been successfully imported.");
            }
            RefillLists();
            rows->Close();
            source.Close();
        },
        [](const MallowError& e) { return e.Number() == err::CancelError; });
}

void frmMain::cmdBrowseSystemFile_Click()
{
    RunHandler(*services.prompter, "cmdBrowseSystemFile_Click", [this] {
        OpenFileRequest request;
        request.title = "System File (MDW)";
        request.filter = "System Files (*.MDW)|*.mdw";
        request.initialFolder = DriveRoot;
        const std::string chosen = ShowOpenDialog(*services.dialogs, request);
        if (!chosen.empty())
            txtMDW->setText(Q(chosen));
    });
}

void frmMain::cmdBrowseBackUpLoc_Click()
{
    RunHandler(*services.prompter, "cmdBrowseBackUpLoc_Click", [this] {
        const std::string folder =
            services.dialogs->BrowseForFolder("What folder you want to back up to ?");
        if (folder.empty())
            return;
        txtBack->setText(Q(folder));
        // The shared schedule row carries the folder from now on; it is written to the file
        // with the schedule.
        Config.ScheduleRecordset->MoveFirst();
        Config.ScheduleRecordset->SetField("Backup", folder);
    });
}

void frmMain::cmdSaveSchedule_Click()
{
    RunHandler(*services.prompter, "cmdSaveSchedule_Click", [this] {
        engine::Recordset schedule = Config.ScheduleRecordset->Clone();
        schedule.MoveFirst();
        try {
            for (int i = 0; i < 7; ++i)
                schedule.SetField(WeekdayColumns[i], weekdayBoxes[i]->text().toStdString());
            schedule.SetField("Backup", txtBack->text().toStdString());
            schedule.SetField("Enabled", CheckValue(chkEnabled));
            schedule.SetField("BUEnabled", CheckValue(chkBack));
            schedule.SetField("BUDays", txtBUDays->text().toStdString());
            schedule.SetField("SendDisconnectMsg", CheckValue(chkSendDisconnectMsg));
            schedule.SetField("DelayBeforeDisconnect",
                              txtDelayBeforDisconnect->text().toStdString());
            schedule.SetField("DisconnectMessage", txtDisconnectMessage->text().toStdString());
            schedule.Update();
        } catch (...) {
            // Nothing of a failed save reaches the file: the row is written by Update alone.
            schedule.CancelUpdate();
            throw;
        }
        services.prompter->MsgBox("The schedule has been saved.");
    });
}

void frmMain::cmdCompactCurrent_Click()
{
    RunHandler(*services.prompter, "cmdCompactCurrent_Click", [this] {
        if (lstApplications->currentRow() < 0) {
            services.prompter->MsgBox("Please select an application.");
            return;
        }
        LastResultText.clear();
        rtfSummary->clear();
        const std::string path = lstApplications->currentItem()->text().toStdString();
        const long appId = ChosenAppId();
        Hourglass hourglass(this);
        SetStatusPanel(3, "1 of 1");
        CompactModule.CompactApplication(appId, path, txtPassword->text().toStdString(),
                                         txtMDW->text().toStdString(),
                                         txtUserName->text().toStdString(),
                                         txtUserPassword->text().toStdString(), false);
        ResetStatusPanels();
        hourglass.Restore();
        FindFirst(ChosenAppId());
        services.prompter->MsgBox(LastResultText);
    });
}

void frmMain::cmdBackup_Click()
{
    RunHandler(*services.prompter, "cmdBackup_Click", [this] {
        if (lstApplications->currentRow() < 0) {
            services.prompter->MsgBox("Please select an application.");
            return;
        }
        const std::string folder = txtBack->text().toStdString();
        if (folder.empty()) {
            services.prompter->MsgBox("Please fill in a back up directory (on the Schedule tab).");
            return;
        }
        SetStatusPanel(1, "Backing Up ...");
        LastResultText.clear();
        rtfSummary->clear();
        const long appId = ChosenAppId();
        Hourglass hourglass(this);
        const std::string path = lstApplications->currentItem()->text().toStdString();
        const std::string source = FolderOfPath(path) + FileNameOfPath(path);
        const std::string target = folder + SeparatorOf(folder) + FileNameOfPath(path);
        CompactModule.BackupApplication(appId, source, target);
        hourglass.Restore();
        services.prompter->MsgBox(LastResultText);
        FindFirst(ChosenAppId());
        SetStatusPanel(1, "Waiting ...");
    });
}

void frmMain::cboApps_KeyPress(int keyAscii)
{
    cboAppsLastKey = keyAscii;
}

bool frmMain::cboApps_KeyDown(int keyCode)
{
    if (keyCode != Qt::Key_Delete)
        return false;
    // Delete acts as Backspace, so that it never completes a line either.
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    QApplication::sendEvent(cboApps, &backspace);
    return true;
}

void frmMain::cboApps_Change()
{
    RunHandler(*services.prompter, "cboApps_Change", [this] {
        if (cboAppsLastKey >= 32)
            Combo_TypeAhead(cboApps);
    });
}

void frmMain::cboApps_LostFocus()
{
    RunHandler(*services.prompter, "cboApps_LostFocus",
               [this] { Combo_AddNew(cboApps, false, true); });
}

void frmMain::Combo_TypeAhead(QComboBox* combo, bool caseSensitive)
{
    const QString typed = combo->currentText();
    if (typed.isEmpty())
        return;
    const auto sensitivity = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < combo->count(); ++i) {
        const QString line = combo->itemText(i);
        if (line.startsWith(typed, sensitivity)) {
            combo->setCurrentIndex(i);
            // The typed characters stay, the completion is selected for typing over.
            combo->lineEdit()->setText(line);
            combo->lineEdit()->setSelection(typed.size(), line.size() - typed.size());
            return;
        }
    }
}

void frmMain::Combo_AddNew(QComboBox* combo, bool caseSensitive, bool addAsUpperCase)
{
    const QString text = combo->currentText();
    const auto sensitivity = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).compare(text, sensitivity) == 0)
            return;
    }
    combo->addItem(addAsUpperCase ? text.toUpper() : text);
    combo->setCurrentIndex(combo->count() - 1);
}

} // namespace mallow
