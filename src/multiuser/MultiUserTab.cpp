#include "MultiUserTab.h"

#include "multiuser/MultiUser.h"
#include "reports/frmFind.h"
#include "util/Controls.h"
#include "util/Handler.h"
#include "util/Hourglass.h"
#include "util/MallowError.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mallow {

using namespace ui;

MultiUserTab::MultiUserTab(const TabContext& context, QWidget* parent)
    : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("tabMultiUser"));
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
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    connect(lstMUAvailDBs, &QListWidget::itemClicked, this, &MultiUserTab::lstMUAvailDBs_Click);
    connect(cmdSendMsg, &QPushButton::clicked, this, &MultiUserTab::cmdSendMsg_Click);
    connect(cmdCloseFile, &QPushButton::clicked, this, &MultiUserTab::cmdCloseFile_Click);
    connect(cmdFindMU, &QPushButton::clicked, this, &MultiUserTab::cmdFindMU_Click);
}

void MultiUserTab::cmdFindMU_Click()
{
    RunHandler(context.prompter, "cmdFindMU_Click", [this] {
        ShowFindDialog(context.window, *lstMUAvailDBs, context.prompter,
                       QStringLiteral("frmFindMU"));
    });
}

void MultiUserTab::LoadUserList()
{
    ListView1->clear();
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setAlternatingRowColors(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHeaderLabels({QStringLiteral("NT User ID"), QStringLiteral("Computer Name"),
                                QStringLiteral("Access User ID")});
    for (int column = 0; column < 3; ++column)
        ListView1->setColumnWidth(column, TwipsToPixels(2400, ListView1));
    ListView1->setSortingEnabled(true);
    ListView1->sortByColumn(0, Qt::AscendingOrder);
}

std::int32_t MultiUserTab::FileIdOf(const QTreeWidgetItem& item)
{
    return item.data(0, Qt::UserRole).toInt();
}

void MultiUserTab::ShowUsers(const std::string& path)
{
    // The list sorts itself on its first column; rows are added in the order found.
    for (const multiuser::UserInfoRow& row : context.users.GetUserInfo(path)) {
        auto* item = new QTreeWidgetItem(
            QStringList{Q(row.ntUserId), Q(row.computerName), Q(row.accessUserId)});
        item->setData(0, Qt::UserRole, row.fileId);
        ListView1->addTopLevelItem(item);
    }
}

void MultiUserTab::lstMUAvailDBs_Click()
{
    Hourglass hourglass(&context.window);
    RunHandler(context.prompter, "lstMUAvailDBs_Click", [this] {
        ListView1->clear();
        const QListWidgetItem* chosen = lstMUAvailDBs->currentItem();
        if (!chosen)
            RaiseRuntimeError(91, "lstMUAvailDBs_Click");
        ShowUsers(chosen->text().toStdString());
    });
}

void MultiUserTab::cmdSendMsg_Click()
{
    RunHandler(context.prompter, "cmdSendMsg_Click()", [this] {
        std::vector<std::string> computers;
        for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = ListView1->topLevelItem(i);
            if (item->isSelected())
                computers.push_back(item->text(1).toStdString());
        }
        if (computers.empty()) {
            context.prompter.MsgBox("Please select a recipient(s).");
            return;
        }
        // Cancel gives the empty text, which is sent as it is.
        const std::string message =
            context.prompter.InputBox("Please enter your message.").value_or("");
        for (const std::string& computer : computers)
            context.users.SendMessage(computer, message);
        context.prompter.MsgBox("Message Sent");
    });
}

void MultiUserTab::cmdCloseFile_Click()
{
    Hourglass hourglass(&context.window);
    RunHandler(context.prompter, "cmdCloseFile_Click", [this] {
        if (!context.prompter.Confirm(
                "It is a good idea to notify the user before disconnecting them from a file\r\n"
                "so that they don't loose any data.\r\nDo you still want to disconnect the user "
                "?"))
            return;
        const QListWidgetItem* database = lstMUAvailDBs->currentItem();
        const QTreeWidgetItem* user = ListView1->currentItem();
        // Without a chosen database or user there is no item to read.
        if (!database || !user || !user->isSelected())
            RaiseRuntimeError(91, "cmdCloseFile_Click");
        const std::string path = database->text().toStdString();
        const std::string notice = "You have been disconnected from the following database :\r\n" +
                                   path +
                                   "\r\nYou will need to close the file and re-open it\r\nor you "
                                   "will recieve an error.";
        const std::string computer = user->text(1).toStdString();
        const std::string ntUser = user->text(0).toStdString();
        const std::int32_t fileId = FileIdOf(*user);
        const std::string lockFile = multiuser::MultiUser::LockFilePath(path);

        // The user is told before the handles go.
        context.users.SendMessage(computer, notice);
        const std::int32_t lockHandle = context.users.GetLDBFileID(lockFile, ntUser, computer);
        const bool databaseClosed = context.users.CloseFile(path, fileId);
        const bool lockClosed = context.users.CloseFile(lockFile, lockHandle);
        if (databaseClosed && lockClosed) {
            context.prompter.MsgBox("The user has been disconnected from this file.");
            ListView1->clear();
            ShowUsers(path);
        } else {
            context.prompter.MsgBox("There was a problem disconnecting this user from the file.");
        }
    });
}

} // namespace mallow
