#include "ShellTestSupport.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/TempFolder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

using namespace mallow;

namespace {

using Started = test::StartedForm;
using test::HandlerPrefix;
using test::StartsWith;

} // namespace

class ScheduleTabTest : public QObject
{
    Q_OBJECT

private slots:
    void SavesTheSchedule()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        s.form->tabSchedule->weekdayBoxes[0]->setText(QStringLiteral("2:00 AM"));
        s.form->tabSchedule->weekdayBoxes[6]->setText(QStringLiteral("14:00"));
        s.form->tabSchedule->txtBack->setText(QStringLiteral("/backups"));
        s.form->tabSchedule->chkEnabled->setChecked(true);
        s.form->tabSchedule->chkBack->setChecked(true);
        s.form->tabSchedule->txtBUDays->setText(QStringLiteral("0"));
        s.form->tabSchedule->chkSendDisconnectMsg->setChecked(true);
        s.form->tabSchedule->txtDelayBeforDisconnect->setText(QStringLiteral("45"));
        s.form->tabSchedule->txtDisconnectMessage->setText(QStringLiteral("Please leave 'now'"));
        s.form->tabSchedule->cmdSaveSchedule->click();
        QCOMPARE(s.prompter.Last(), std::string("The schedule has been saved."));
        QCOMPARE(config.Scalar("SELECT COUNT(*) FROM Schedule"), std::string("1"));
        QCOMPARE(config.Scalar("SELECT Monday || '|' || Tuesday || '|' || Sunday FROM Schedule"),
                 std::string("2:00 AM||14:00"));
        QCOMPARE(config.Scalar("SELECT Enabled || BUEnabled || SendDisconnectMsg FROM Schedule"),
                 std::string("111"));
        QCOMPARE(config.Scalar("SELECT BUDays || '/' || DelayBeforeDisconnect FROM Schedule"),
                 std::string("0/45"));
        QCOMPARE(config.Scalar("SELECT typeof(BUDays) FROM Schedule"), std::string("integer"));
        QCOMPARE(config.Scalar("SELECT DisconnectMessage FROM Schedule"),
                 std::string("Please leave 'now'"));

        // Saving again unchanged rewrites the same values.
        s.form->tabSchedule->cmdSaveSchedule->click();
        QCOMPARE(s.prompter.Last(), std::string("The schedule has been saved."));
        QCOMPARE(config.Scalar("SELECT BUDays FROM Schedule"), std::string("0"));
    }

    void FailedScheduleSaveWritesNothing_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("delay");
        QTest::newRow("empty days") << ""
                                    << "30";
        QTest::newRow("words for days") << "seven"
                                        << "30";
        QTest::newRow("empty delay") << "7"
                                     << "";
        QTest::newRow("fractional delay text") << "7"
                                               << "1O";
    }
    void FailedScheduleSaveWritesNothing()
    {
        QFETCH(QString, days);
        QFETCH(QString, delay);
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        s.form->tabSchedule->weekdayBoxes[0]->setText(QStringLiteral("3:00 AM"));
        s.form->tabSchedule->txtBUDays->setText(days);
        s.form->tabSchedule->txtDelayBeforDisconnect->setText(delay);
        s.form->tabSchedule->cmdSaveSchedule->click();
        QCOMPARE(s.prompter.shown.size(), size_t(1));
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("cmdSaveSchedule_Click")),
                 s.prompter.Last().c_str());
        QCOMPARE(config.Scalar("SELECT Monday FROM Schedule"), std::string(""));
        QCOMPARE(config.Scalar("SELECT BUDays FROM Schedule"), std::string("7"));

        // A correct save afterwards goes through.
        s.form->tabSchedule->txtBUDays->setText(QStringLiteral("5"));
        s.form->tabSchedule->txtDelayBeforDisconnect->setText(QStringLiteral("5"));
        s.form->tabSchedule->cmdSaveSchedule->click();
        QCOMPARE(s.prompter.Last(), std::string("The schedule has been saved."));
        QCOMPARE(config.Scalar("SELECT Monday FROM Schedule"), std::string("3:00 AM"));
    }

    void SaveAgainstALockedDatabaseReportsTheEngineError()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        sqlite3* other = nullptr;
        sqlite3_open(config.DatabasePath().c_str(), &other);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        s.form->tabSchedule->weekdayBoxes[1]->setText(QStringLiteral("1:00 AM"));
        s.form->tabSchedule->cmdSaveSchedule->click();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(StartsWith(s.prompter.Last(), HandlerPrefix("cmdSaveSchedule_Click")),
                 s.prompter.Last().c_str());
        QCOMPARE(config.Scalar("SELECT Tuesday FROM Schedule"), std::string(""));
    }

    // The box switches the delay and the message on and off as it is clicked.
    void SendMessageBoxEnablesItsDelayAndMessage()
    {
        test::ConfigFixture config;
        Started s(config.ProgramFolder());
        ScheduleTab& tab = *s.form->tabSchedule;
        s.form->SSTab1->setCurrentIndex(1);
        QCOMPARE(tab.chkSendDisconnectMsg->Value(), 0);
        test::Click(tab.chkSendDisconnectMsg);
        QVERIFY(tab.txtDelayBeforDisconnect->isEnabled());
        QVERIFY(tab.txtDisconnectMessage->isEnabled());
        test::Click(tab.chkSendDisconnectMsg);
        QVERIFY(!tab.txtDelayBeforDisconnect->isEnabled());
        QVERIFY(!tab.txtDisconnectMessage->isEnabled());
        QVERIFY(s.prompter.shown.empty());
    }

    // The tick of Timer1 on a Monday: a pass starts in the minute of Monday's time only while
    // the live box is checked, once in that minute; a time that is no time, whatever its day,
    // is reported at every tick.
    void TheSchedulersTickStartsThePassInItsMinute()
    {
        test::ConfigFixture config;
        test::TempFolder data;
        config.AddApp(data.File("a.mdb"));
        test::WriteFile(data.File("a.mdb"), "");
        config.Sql("UPDATE Schedule SET Monday='2:00 AM', Enabled=1");
        Started s(config.ProgramFolder());
        // 14 December 2026 is a Monday.
        s.clock.Set(dates::ToAutomationDate({2026, 12, 14, 2, 0, 30}));
        s.form->tabSchedule->chkEnabled->SetValue(0);
        s.form->Timer1_Timer();
        QCOMPARE(config.Scalar("SELECT count(*) FROM Log"), std::string("0"));
        s.form->tabSchedule->chkEnabled->SetValue(1);
        s.form->Timer1_Timer();
        QCOMPARE(config.Scalar("SELECT count(*) FROM Log"), std::string("1"));
        QVERIFY(s.form->Timer1->isActive());
        s.form->Timer1_Timer();
        QCOMPARE(config.Scalar("SELECT count(*) FROM Log"), std::string("1"));
        s.clock.Set(dates::ToAutomationDate({2026, 12, 15, 2, 0, 30}));
        s.form->Timer1_Timer();
        QCOMPARE(config.Scalar("SELECT count(*) FROM Log"), std::string("1"));
        QVERIFY(s.prompter.shown.empty());

        config.Sql("UPDATE Schedule SET Saturday='noonish'");
        s.form->Config.ScheduleRecordset->Requery();
        for (int tick = 0; tick < 2; ++tick) {
            s.form->Timer1_Timer();
            QCOMPARE(s.prompter.Last(),
                     std::string("An error has occured in module 'Timer1_Timer'.\r\nType mismatch"));
        }
        QCOMPARE(s.prompter.shown.size(), std::size_t(2));
    }
};

static test::RegisterTests<ScheduleTabTest> registered;
#include "ScheduleTabTest.moc"
