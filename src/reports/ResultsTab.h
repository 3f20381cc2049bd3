#pragma once

#include "util/TabContext.h"

#include <QWidget>

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
    /// Start-up: the compact log chosen, all applications as the filter's text. The window
    /// fills the filter's lines with the application list's FillCombo.
    void LoadView();

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const TabContext& context;
    int cboAppsLastKey = 0;
};

} // namespace mallow
