#include "frmMain.h"

#include "Hourglass.h"
#include "config/ApplicationList.h"
#include "config/ScheduleSettings.h"
#include "net/modGetOS.h"
#include "util/Dates.h"
#include "util/Handler.h"
#include "util/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>

namespace mallow {

namespace {

const char* const WindowTitle = "Mallow V 2.1";
const char* const AccessFilter = "Access Databases (*.MDB)|*.mdb";
const char* const DriveRoot = "C:\\";
constexpr int ItemDataRole = Qt::UserRole;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Twips are 1/1440 inch; the screen's logical resolution turns them into pixels.
int TwipsToPixels(int twips, const QWidget* widget)
{
    return twips * widget->logicalDpiX() / 1440;
}

} // namespace

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    if (!unloaded)
        Form_Unload();
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
    if (startMinimized)
        showMinimized();
    else
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
    const ScheduleSettings settings = ReadScheduleSettings(*Config.ScheduleRecordset);
    for (std::size_t i = 0; i < weekdayBoxes.size(); ++i)
        weekdayBoxes[i]->setText(Q(settings.times[i]));
    txtBack->setText(Q(settings.backup));
    txtDisconnectMessage->setText(Q(settings.message));
    txtBUDays->setText(Q(settings.keepDays));
    txtDelayBeforDisconnect->setText(Q(settings.delay));
    chkEnabled->SetValue(settings.enabled);
    chkBack->SetValue(settings.backUpAlso);
    chkSendDisconnectMsg->SetValue(settings.sendDisconnectMessage);

    mnuRunStartup->setChecked(settings.runAtStartup);
    mnuMinimizeStartup->setChecked(settings.minimizeAtStartup);
    // No tray icon exists yet to bring a hidden window back, so start-up never hides the
    // window: it starts minimized, on the taskbar.
    startMinimized = settings.minimizeAtStartup;
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
        const ApplicationDetails details = ReadApplicationDetails(*Config.AppsRecordset, appId);
        txtPassword->setText(Q(details.password));
        txtMDW->setText(Q(details.mdw));
        txtUserName->setText(Q(details.userName));
        txtUserPassword->setText(Q(details.userPassword));
        chkDisconnect->SetValue(details.logUsersOff);
        SetStatusPanel(2, CurrentApplicationText(details.app));
    });
}

void frmMain::ChooseApplication(long appId)
{
    for (int row = 0; row < lstApplications->count(); ++row) {
        if (lstApplications->item(row)->data(ItemDataRole).toLongLong() == appId) {
            if (lstApplications->currentRow() == row)
                FindFirst(appId);
            else
                lstApplications->setCurrentRow(row); // shows the details, as a click does
            return;
        }
    }
    FindFirst(appId);
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
        request.initialFolder = DriveRoot;
        request.multiSelect = true;
        const std::string chosen = ShowOpenDialog(*services.dialogs, request);
        if (chosen.empty())
            return;
        const long lastId = AddApplications(*Config.AppsRecordset, chosen);
        RefillLists();
        // The database just added is the chosen line, so that its details can be saved next.
        ChooseApplication(lastId);
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
            ApplicationDetails details;
            details.password = txtPassword->text().toStdString();
            details.mdw = txtMDW->text().toStdString();
            details.userName = txtUserName->text().toStdString();
            details.userPassword = txtUserPassword->text().toStdString();
            details.logUsersOff = chkDisconnect->Value();
            SaveApplicationDetails(*Config.AppsRecordset, ChosenAppId(), details);
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
            if (ImportApplications(*Config.AppsRecordset, path) == 0)
                services.prompter->MsgBox("There are no records to import.");
            else
                services.prompter->MsgBox("Applications have been successfully imported.");
            RefillLists();
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
        SaveScheduleSettings(*Config.ScheduleRecordset, settings);
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
