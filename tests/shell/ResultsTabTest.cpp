#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

using namespace mallow;

namespace {

using Started = test::StartedForm;

} // namespace

class ResultsTabTest : public QObject
{
    Q_OBJECT

private slots:
    void ComboTypeAheadCompletesAndAddsInUpperCase()
    {
        test::ConfigFixture config;
        config.AddApp("\\\\SRV\\DATA\\SALES.MDB");
        Started s(config.ProgramFolder());
        QComboBox* combo = s.form->tabResults->cboApps;
        s.form->SSTab1->setCurrentIndex(2);
        s.form->tabResults->SSTab2->setCurrentIndex(1);
        s.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));
        combo->setFocus();
        combo->lineEdit()->clear();

        QTest::keyClicks(combo, "sal");
        QCOMPARE(combo->currentText(), QStringLiteral("sal"));

        combo->lineEdit()->clear();
        QTest::keyClicks(combo, "\\\\srv\\data\\s");
        QCOMPARE(combo->currentText(), QStringLiteral("\\\\SRV\\DATA\\SALES.MDB"));
        QCOMPARE(combo->lineEdit()->selectionStart(), 12);
        QCOMPARE(combo->lineEdit()->selectedText(), QStringLiteral("ALES.MDB"));

        // Backspace and Delete remove the completion and do not complete again.
        QTest::keyClick(combo, Qt::Key_Delete);
        QCOMPARE(combo->currentText(), QStringLiteral("\\\\SRV\\DATA\\S"));
        QTest::keyClick(combo, Qt::Key_Delete);
        QCOMPARE(combo->currentText(), QStringLiteral("\\\\SRV\\DATA\\"));

        // Leaving with a text no line has adds it in upper case and chooses it.
        combo->lineEdit()->setText(QStringLiteral("/new/älpha.mdb"));
        s.form->tabResults->txtBeginningDate->setFocus();
        QTRY_COMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(2), QStringLiteral("/NEW/ÄLPHA.MDB"));
        QCOMPARE(combo->currentIndex(), 2);
        QVERIFY(s.prompter.shown.empty());
    }
};

static test::RegisterTests<ResultsTabTest> registered;
#include "ResultsTabTest.moc"
