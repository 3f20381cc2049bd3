#include "frmFind.h"

#include "util/Controls.h"
#include "util/Handler.h"
#include "util/Hourglass.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>

namespace mallow {

using namespace ui;

frmFind::frmFind(QWidget* owner, QListWidget& list, Prompter& prompter, const QString& name)
    : QDialog(owner), list(list), prompter(prompter)
{
    setObjectName(name);
    setWindowTitle(QStringLiteral("Find"));
    Label1 = Label("Enter Text", "Label1");
    txtFindText = Named(new QLineEdit, "txtFindText");
    txtFindText->setMinimumWidth(TwipsToPixels(3000, this));
    cmdFind = Button("cmdFind", "Find");
    cmdDone = Button("cmdDone", "Done");
    // Enter searches again, Escape closes.
    cmdFind->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0, 1, 2);
    layout->addWidget(txtFindText, 1, 0, 1, 2);
    layout->addWidget(cmdFind, 2, 0);
    layout->addWidget(cmdDone, 2, 1);

    connect(txtFindText, &QLineEdit::textChanged, this, &frmFind::txtFindText_Change);
    connect(cmdFind, &QPushButton::clicked, this, &frmFind::cmdFind_Click);
    connect(cmdDone, &QPushButton::clicked, this, &frmFind::cmdDone_Click);
    Form_Load();
}

void frmFind::Form_Load()
{
    firstSearch = true;
}

void frmFind::txtFindText_Change()
{
    RunHandler(prompter, "txtFindText_Change", [this] {
        firstSearch = true;
        cmdFind->setText(QStringLiteral("Find"));
    });
}

void frmFind::cmdDone_Click()
{
    RunHandler(prompter, "cmdDone_Click", [this] { reject(); });
}

void frmFind::cmdFind_Click()
{
    RunHandler(prompter, "cmdFind_Click", [this] {
        Hourglass hourglass(this);
        const QString text = txtFindText->text();
        if (text.isEmpty()) {
            hourglass.Restore();
            prompter.MsgBox("Please enter text to find.");
            return;
        }
        const int from = firstSearch ? 0 : list.currentRow() + 1;
        for (int row = from; row < list.count(); ++row) {
            QListWidgetItem* entry = list.item(row);
            if (!entry->text().contains(text, Qt::CaseInsensitive))
                continue;
            // What a click on the entry does: it becomes the current, selected entry (the
            // window shows its details) and the list reports the click.
            list.setCurrentRow(row);
            list.scrollToItem(entry);
            emit list.itemClicked(entry);
            firstSearch = false;
            cmdFind->setText(QStringLiteral("Find Next"));
            return;
        }
        hourglass.Restore();
        prompter.MsgBox("The text could not be found.");
    });
}

void ShowFindDialog(QWidget& owner, QListWidget& list, Prompter& prompter, const QString& name)
{
    frmFind dialog(&owner, list, prompter, name);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}

} // namespace mallow
