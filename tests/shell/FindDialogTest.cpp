// The find dialogs of the Applications and Multi-User tabs, driven with the mouse and keyboard.

#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/ModalDialogs.h"
#include "reports/frmFind.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace mallow;

namespace {

using Started = test::StartedForm;

void AddApps(const test::ConfigFixture& config)
{
    config.AddApp("/x/other.mdb", "", "/x/other.mdw");
    config.AddApp("C:\\Data\\SALES.mdb", "", "C:\\sales.mdw");
    config.AddApp("D:\\sales\\orders.mdb", "", "D:\\orders.mdw");
    config.AddApp("E:\\z.mdb");
}

void TypeInto(QLineEdit* box, const QString& text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

} // namespace

class FindDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void FindAndFindNextWalkTheApplicationsFromTheTop()
    {
        test::ConfigFixture config;
        AddApps(config);
        Started s(config.ProgramFolder());
        ApplicationsTab* tab = s.form->tabApplications;
        QListWidget* list = tab->lstApplications;
        QCOMPARE(list->currentRow(), 0);

        const bool opened = test::InModal<frmFind>(tab->cmdFind, [&](frmFind& dialog) {
            QCOMPARE(dialog.objectName(), QStringLiteral("frmFind"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Find"));
            QVERIFY(dialog.isModal());
            QCOMPARE(dialog.parentWidget(), s.form.get());
            QCOMPARE(dialog.Label1->text(), QStringLiteral("Enter Text"));
            QCOMPARE(dialog.cmdFind->text(), QStringLiteral("Find"));

            test::Click(dialog.cmdFind);
            QCOMPARE(s.prompter.Last(), std::string("Please enter text to find."));
            QCOMPARE(list->currentRow(), 0);

            TypeInto(dialog.txtFindText, QStringLiteral("sales"));
            test::Click(dialog.cmdFind);
            QCOMPARE(list->currentItem()->text(), QStringLiteral("C:\\Data\\SALES.mdb"));
            QVERIFY(list->currentItem()->isSelected());
            // The window reacts as to a click on the line: it shows that database's details.
            QCOMPARE(tab->txtMDW->text(), QStringLiteral("C:\\sales.mdw"));
            QCOMPARE(dialog.cmdFind->text(), QStringLiteral("Find Next"));

            test::Click(dialog.cmdFind);
            QCOMPARE(list->currentItem()->text(), QStringLiteral("D:\\sales\\orders.mdb"));
            QCOMPARE(tab->txtMDW->text(), QStringLiteral("D:\\orders.mdw"));

            const size_t shown = s.prompter.shown.size();
            test::Click(dialog.cmdFind);
            test::Click(dialog.cmdFind);
            QCOMPARE(s.prompter.shown.size(), shown + 2);
            QCOMPARE(s.prompter.Last(), std::string("The text could not be found."));
            QCOMPARE(list->currentRow(), 2);
            QCOMPARE(dialog.cmdFind->text(), QStringLiteral("Find Next"));

            // Any edit starts again from the top; Enter presses Find.
            QTest::keyClick(dialog.txtFindText, Qt::Key_S);
            QTest::keyClick(dialog.txtFindText, Qt::Key_Backspace);
            QCOMPARE(dialog.cmdFind->text(), QStringLiteral("Find"));
            QTest::keyClick(dialog.txtFindText, Qt::Key_Return);
            QCOMPARE(list->currentRow(), 1);

            TypeInto(dialog.txtFindText, QStringLiteral("nowhere"));
            test::Click(dialog.cmdFind);
            QCOMPARE(s.prompter.Last(), std::string("The text could not be found."));
            QCOMPARE(list->currentRow(), 1);
            QVERIFY(dialog.cursor().shape() != Qt::WaitCursor);

            test::Click(dialog.cmdDone);
        });
        QVERIFY(opened);
        QVERIFY(!QApplication::activeModalWidget());

        // Each opening is a fresh dialog that searches from the top.
        QVERIFY(test::InModal<frmFind>(tab->cmdFind, [&](frmFind& dialog) {
            QCOMPARE(dialog.cmdFind->text(), QStringLiteral("Find"));
            QCOMPARE(dialog.txtFindText->text(), QString());
            QTest::keyClicks(dialog.txtFindText, QStringLiteral("MDB"));
            test::Click(dialog.cmdFind);
            QCOMPARE(list->currentRow(), 0);
            dialog.close();
        }));
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(s.form->isEnabled());
    }

    void TheMultiUserFindSelectsAsAClickDoes()
    {
        test::ConfigFixture config;
        AddApps(config);
        Started s(config.ProgramFolder());
        QListWidget* list = s.form->tabMultiUser->lstMUAvailDBs;
        QCOMPARE(list->count(), 4);
        test::ClickTab(s.form->SSTab1, 3);
        QSignalSpy clicks(list, &QListWidget::itemClicked);
        QSignalSpy chosen(list, &QListWidget::currentRowChanged);

        QVERIFY(test::InModal<frmFind>(s.form->tabMultiUser->cmdFindMU, [&](frmFind& dialog) {
            QCOMPARE(dialog.objectName(), QStringLiteral("frmFindMU"));
            QCOMPARE(dialog.parentWidget(), s.form.get());
            QTest::keyClicks(dialog.txtFindText, QStringLiteral("ORDERS"));
            test::Click(dialog.cmdFind);
            test::Click(dialog.cmdDone);
        }));
        QCOMPARE(list->currentItem()->text(), QStringLiteral("D:\\sales\\orders.mdb"));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks.at(0).at(0).value<QListWidgetItem*>(), list->currentItem());
        QCOMPARE(chosen.size(), 1);
        // The Applications list stays as it was.
        QCOMPARE(s.form->tabApplications->lstApplications->currentRow(), 0);
        // The click handler ran: a database on a local disk has no server to ask.
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QVERIFY2(s.prompter.Last().find("lstMUAvailDBs_Click") != std::string::npos,
                 s.prompter.Last().c_str());
    }
};

static test::RegisterTests<FindDialogTest> registered;
#include "FindDialogTest.moc"
