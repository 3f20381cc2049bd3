#include "MultiUserTab.h"

#include "reports/frmFind.h"
#include "util/Controls.h"
#include "util/Handler.h"

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

} // namespace mallow
