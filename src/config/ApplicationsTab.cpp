#include "ApplicationsTab.h"

#include "config/ApplicationList.h"
#include "config/ConfigDatabase.h"
#include "launcher/Launcher.h"
#include "maintenance/Compact.h"
#include "platform/ProgramStart.h"
#include "reports/frmFind.h"
#include "util/Controls.h"
#include "util/FileDialogs.h"
#include "util/Handler.h"
#include "util/Hourglass.h"
#include "util/Paths.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace mallow {

using namespace ui;

namespace {

const char* const AccessFilter = "Access Databases (*.MDB)|*.mdb";
const char* const DriveRoot = "C:\\";

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

ApplicationsTab::ApplicationsTab(const TabContext& context, QWidget* parent)
    : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("tabApplications"));
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
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(security);

    connect(cmdAdd, &QPushButton::clicked, this, &ApplicationsTab::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &ApplicationsTab::cmdRemove_Click);
    connect(cmdSaveDatabaseInfo, &QPushButton::clicked, this,
            &ApplicationsTab::cmdSaveDatabaseInfo_Click);
    connect(cmdBrowseSystemFile, &QPushButton::clicked, this,
            &ApplicationsTab::cmdBrowseSystemFile_Click);
    connect(cmdCompactCurrent, &QPushButton::clicked, this,
            &ApplicationsTab::cmdCompactCurrent_Click);
    connect(cmdBackup, &QPushButton::clicked, this, &ApplicationsTab::cmdBackup_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &ApplicationsTab::cmdOpen_Click);
    connect(cmdFind, &QPushButton::clicked, this, &ApplicationsTab::cmdFind_Click);
    // A line becomes the chosen one by mouse, by keyboard or from code; emptying the list
    // chooses none and is no click.
    connect(lstApplications, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            lstApplications_Click();
    });
}

void ApplicationsTab::LoadList()
{
    FillList();
    if (lstApplications->count() > 0)
        lstApplications->setCurrentRow(0);
}

void ApplicationsTab::FillList()
{
    const ApplicationLines lines = ReadApplicationLines(*context.config.AppsRecordset);
    // One insertion per list; the App IDs are attached without signalling each one, since no
    // view shows them.
    const int first = lstApplications->count();
    lstApplications->addItems(lines.paths);
    {
        const QSignalBlocker quiet(lstApplications->model());
        for (qsizetype i = 0; i < lines.ids.size(); ++i)
            lstApplications->item(first + static_cast<int>(i))->setData(ItemDataRole, lines.ids[i]);
    }
    context.links.ApplicationsListed(lines.paths);
}

void ApplicationsTab::FillCombo(QComboBox& cboApps)
{
    const ApplicationLines lines = ReadApplicationLines(*context.config.AppsRecordset);
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
    auto* model = qobject_cast<QStandardItemModel*>(cboApps.model());
    model->invisibleRootItem()->appendRows(items);
    if (cboApps.currentIndex() < 0)
        cboApps.setCurrentIndex(0);
}

long ApplicationsTab::ChosenAppId() const
{
    QListWidgetItem* item = lstApplications->currentItem();
    if (!item || lstApplications->currentRow() < 0)
        RaiseRuntimeError(err::InvalidPropertyArrayIndex, "lstApplications");
    return static_cast<long>(item->data(ItemDataRole).toLongLong());
}

void ApplicationsTab::RefillLists()
{
    lstApplications->clear();
    context.links.ApplicationListCleared();
    FillList();
}

void ApplicationsTab::FindFirst(long appId)
{
    RunHandler(context.prompter, "FindFirst", [&] {
        const ApplicationDetails details =
            ReadApplicationDetails(*context.config.AppsRecordset, appId);
        txtPassword->setText(Q(details.password));
        txtMDW->setText(Q(details.mdw));
        txtUserName->setText(Q(details.userName));
        txtUserPassword->setText(Q(details.userPassword));
        chkDisconnect->SetValue(details.logUsersOff);
        context.status.SetStatusPanel(2, CurrentApplicationText(details.app));
    });
}

void ApplicationsTab::ChooseApplication(long appId)
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

void ApplicationsTab::cmdFind_Click()
{
    RunHandler(context.prompter, "cmdFind_Click", [this] {
        ShowFindDialog(context.window, *lstApplications, context.prompter,
                       QStringLiteral("frmFind"));
    });
}

void ApplicationsTab::lstApplications_Click()
{
    RunHandler(context.prompter, "lstApplications_Click", [this] { FindFirst(ChosenAppId()); });
}

void ApplicationsTab::cmdAdd_Click()
{
    RunHandler(context.prompter, "cmdAdd_Click", [this] {
        OpenFileRequest request;
        request.title = "Add a new database";
        request.filter = AccessFilter;
        request.initialFolder = DriveRoot;
        request.multiSelect = true;
        const std::string chosen = ShowOpenDialog(context.dialogs, request);
        if (chosen.empty())
            return;
        const long lastId = AddApplications(*context.config.AppsRecordset, chosen);
        RefillLists();
        // The database just added is the chosen line, so that its details can be saved next.
        ChooseApplication(lastId);
        context.prompter.MsgBox(
            "If needed, add security info and click the 'Save Database Information' button.");
    });
}

void ApplicationsTab::cmdRemove_Click()
{
    RunHandler(
        context.prompter, "cmdRemove_Click",
        [this] {
            if (lstApplications->currentRow() < 0) {
                context.prompter.MsgBox("Please select an application.");
                return;
            }
            const std::string line = lstApplications->currentItem()->text().toStdString();
            if (!context.prompter.Confirm("Are you sure you want to remove " + line +
                                              " from the list ?",
                                          "Remove Application"))
                return;
            engine::Recordset apps = context.config.AppsRecordset->Clone();
            apps.MoveFirst();
            apps.Find("[App ID] = " + std::to_string(ChosenAppId()));
            apps.Delete();
            RefillLists();
        },
        SelectApplicationFirst(context.prompter));
}

void ApplicationsTab::cmdSaveDatabaseInfo_Click()
{
    RunHandler(
        context.prompter, "cmdSaveDatabaseInfo_Click",
        [this] {
            if (context.config.AppsRecordset->RecordCount() == 0) {
                context.prompter.MsgBox("There are currently no applications available.");
                return;
            }
            ApplicationDetails details;
            details.password = txtPassword->text().toStdString();
            details.mdw = txtMDW->text().toStdString();
            details.userName = txtUserName->text().toStdString();
            details.userPassword = txtUserPassword->text().toStdString();
            details.logUsersOff = chkDisconnect->Value();
            SaveApplicationDetails(*context.config.AppsRecordset, ChosenAppId(), details);
            context.prompter.MsgBox("The database information has been saved.");
            lstApplications->setFocus();
        },
        SelectApplicationFirst(context.prompter));
}

void ApplicationsTab::mnuImport_Click()
{
    RunHandler(
        context.prompter, "mnuImport_Click",
        [this] {
            OpenFileRequest request;
            request.title = "Import Application List";
            request.fileName = "Compact.mdb";
            request.filter = AccessFilter;
            request.initialFolder = DriveRoot;
            request.cancelError = true;
            const std::string path = ShowOpenDialog(context.dialogs, request);
            if (ImportApplications(*context.config.AppsRecordset, path) == 0)
                context.prompter.MsgBox("There are no records to import.");
            else
                context.prompter.MsgBox("Applications have been successfully imported.");
            RefillLists();
        },
        [](const MallowError& e) { return e.Number() == err::CancelError; });
}

void ApplicationsTab::cmdBrowseSystemFile_Click()
{
    RunHandler(context.prompter, "cmdBrowseSystemFile_Click", [this] {
        OpenFileRequest request;
        request.title = "System File (MDW)";
        request.filter = "System Files (*.MDW)|*.mdw";
        request.initialFolder = DriveRoot;
        const std::string chosen = ShowOpenDialog(context.dialogs, request);
        if (!chosen.empty())
            txtMDW->setText(Q(chosen));
    });
}

void ApplicationsTab::cmdCompactCurrent_Click()
{
    RunHandler(context.prompter, "cmdCompactCurrent_Click", [this] {
        if (lstApplications->currentRow() < 0) {
            context.prompter.MsgBox("Please select an application.");
            return;
        }
        context.LastResultText.clear();
        context.links.ClearSummary();
        const std::string path = lstApplications->currentItem()->text().toStdString();
        const long appId = ChosenAppId();
        Hourglass hourglass(&context.window);
        context.status.SetStatusPanel(3, "1 of 1");
        context.compact.CompactApplication(
            appId, path, txtPassword->text().toStdString(), txtMDW->text().toStdString(),
            txtUserName->text().toStdString(), txtUserPassword->text().toStdString(), false);
        context.ResetStatusPanels();
        hourglass.Restore();
        FindFirst(ChosenAppId());
        if (!context.links.Closing())
            context.prompter.MsgBox(context.LastResultText);
    });
}

void ApplicationsTab::cmdBackup_Click()
{
    RunHandler(context.prompter, "cmdBackup_Click", [this] {
        if (lstApplications->currentRow() < 0) {
            context.prompter.MsgBox("Please select an application.");
            return;
        }
        const std::string folder = context.links.BackUpFolder();
        if (folder.empty()) {
            context.prompter.MsgBox("Please fill in a back up directory (on the Schedule tab).");
            return;
        }
        context.status.SetStatusPanel(1, "Backing Up ...");
        context.LastResultText.clear();
        context.links.ClearSummary();
        const long appId = ChosenAppId();
        Hourglass hourglass(&context.window);
        const std::string path = lstApplications->currentItem()->text().toStdString();
        const std::string source = FolderOfPath(path) + FileNameOfPath(path);
        const std::string target = folder + SeparatorOf(folder) + FileNameOfPath(path);
        context.compact.BackupApplication(appId, source, target);
        hourglass.Restore();
        if (!context.links.Closing())
            context.prompter.MsgBox(context.LastResultText);
        FindFirst(ChosenAppId());
        context.status.SetStatusPanel(1, "Waiting ...");
    });
}

void ApplicationsTab::cmdOpen_Click()
{
    RunHandler(
        context.prompter, "cmdOpen_Click",
        [this] {
            ChosenAppId();
            // The values as the boxes show them, saved or not; the database password is not
            // passed: the database program asks for it itself.
            const std::string database = lstApplications->currentItem()->text().toStdString();
            const std::string mdw = txtMDW->text().toStdString();
            const std::string user = txtUserName->text().toStdString();
            const std::string userPassword = txtUserPassword->text().toStdString();
            const std::string folder = launcher::AccessFolder();
            if (folder.empty()) {
                context.prompter.MsgBox("Mallow can not find Microsoft Access on this machine.");
                return;
            }
            platform::StartProgram(launcher::AccessCommandLine(launcher::AccessProgram(folder),
                                                               database, mdw, user, userPassword));
        },
        SelectApplicationFirst(context.prompter));
}

} // namespace mallow
