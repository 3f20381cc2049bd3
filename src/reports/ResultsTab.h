#pragma once

#include "LogQueries.h"
#include "util/TabContext.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTableWidget;
class QTextEdit;

namespace mallow {

class clsTablePrint;

/// The Results tab page: which log to show, for which application and days, the grid of log
/// rows, and the removal of old log rows. Controls carry their names as object names.
class ResultsTab : public QWidget
{
    Q_OBJECT

public:
    explicit ResultsTab(const TabContext& context, QWidget* parent = nullptr);
    ~ResultsTab() override;

    /// Start-up: today's date (an automation date) into both ends of the date range.
    void LoadDates(double today);
    /// Start-up: creates the table-printing object "Print Results" prints with.
    void LoadTablePrint();
    /// Start-up: the compact log chosen (which runs its query once), all applications as the
    /// filter's text. The window fills the filter's lines with the application list's FillCombo.
    void LoadView();

    /// Runs the chosen log's query into MSFlexGrid1, which is hidden while it fills. A large
    /// log fills in slices, between which the window handles what is waiting while this tab's
    /// commands wait. Errors reach the caller, with the grid hidden and lblProcessing showing.
    void FillResultsGrid();

    void optLog_Click();
    void optLogBack_Click();
    void cmdRefresh_Click();
    /// The main window's tab control switched to page `index`.
    void SSTab1_Click(int index);
    void MSFlexGrid1_DblClick();
    void cmdRemoveOldData_Click();
    void cmdPrint_Click();
    void ChooseBeginDate_Click();
    void ChooseEndDate_Click();

    void cboApps_KeyPress(int keyAscii);
    /// Returns true when the key was consumed.
    bool cboApps_KeyDown(int keyCode);
    void cboApps_Change();
    void cboApps_LostFocus();
    void Combo_TypeAhead(QComboBox* combo, bool caseSensitive = false);
    void Combo_AddNew(QComboBox* combo, bool caseSensitive = false, bool addAsUpperCase = false);

    QTabWidget* SSTab2 = nullptr;
    QRadioButton* optLog = nullptr;
    QRadioButton* optLogBack = nullptr;
    QComboBox* cboApps = nullptr;
    QLineEdit* txtBeginningDate = nullptr;
    QLineEdit* txtEndingDate = nullptr;
    QPushButton* ChooseBeginDate = nullptr;
    QPushButton* ChooseEndDate = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdPrint = nullptr;
    QLineEdit* txtRemoveDataBefore = nullptr;
    QPushButton* cmdRemoveOldData = nullptr;
    /// The grid and the summary text share this area; the commands switch between them.
    QStackedWidget* resultsArea = nullptr;
    QTableWidget* MSFlexGrid1 = nullptr;
    QTextEdit* rtfSummary = nullptr;
    QLabel* lblProcessing = nullptr;

    /// The table-printing object, made at start-up.
    std::unique_ptr<clsTablePrint> Table;

    /// How long a fill of the grid may run before it lets the window handle what is waiting
    /// (keys, timers, repaints).
    int FillSliceMilliseconds = 40;
    /// Whether a fill is under way (it may be, while the window handles events in between).
    bool Filling() const { return fillDepth > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// A new, empty results grid: a table whose cells keep their texts compactly.
    static QTableWidget* NewResultsGrid();
    /// Lets the window handle waiting events in the middle of a fill; false when a newer fill
    /// started meanwhile and owns the grid now.
    bool YieldDuringFill(unsigned ticket);
    /// The tab's own commands wait while a fill lets the window handle events.
    void DisableCommandsDuringFill();
    void FinishYieldingFill();

    const TabContext& context;
    int cboAppsLastKey = 0;
    unsigned fillTicket = 0;
    int fillDepth = 0;
    /// The control that had the focus when a fill disabled the tab's commands.
    QWidget* focusBeforeFill = nullptr;
    bool commandsDisabled = false;
};

} // namespace mallow
