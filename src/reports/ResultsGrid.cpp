// Filling the Results tab's grid from the chosen log.

#include "ResultsTab.h"

#include "config/ConfigDatabase.h"
#include "engine/Recordset.h"
#include "util/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

#include <unordered_set>

namespace mallow {

using namespace ui;

namespace {

// The widest text a date of the general form takes: two-digit month, day and hour.
const QString WidestGeneralDate = QStringLiteral("12/28/2026 12:59:59 PM");

// Twips are given for the grid's font as the log's widths were designed; a column is made wide
// enough for its header, for a whole date and for the widest shortened path it shows.
void SetColumnWidths(QTableWidget& grid, LogKind kind, const QStringList& names, int appWidth)
{
    const QFontMetrics cells(grid.font());
    const QFontMetrics headers(grid.horizontalHeader()->font());
    const int padding = 2 * cells.horizontalAdvance(QLatin1Char('M'));
    for (int column = 0; column < names.size(); ++column) {
        const int twips = LogColumnWidth(kind, column);
        grid.setColumnHidden(column, twips == 0);
        if (twips == 0)
            continue;
        int need = headers.horizontalAdvance(names[column]);
        if (names[column] == QLatin1String("Logged"))
            need = std::max(need, cells.horizontalAdvance(WidestGeneralDate));
        if (column == 1)
            need = std::max(need, appWidth);
        grid.setColumnWidth(column, std::max(TwipsToPixels(twips, &grid), need + padding));
    }
}

} // namespace

void ResultsTab::FillResultsGrid()
{
    const unsigned ticket = ++fillTicket;
    struct Depth
    {
        ResultsTab& tab;
        explicit Depth(ResultsTab& tab) : tab(tab) { ++tab.fillDepth; }
        ~Depth()
        {
            if (--tab.fillDepth == 0)
                tab.FinishYieldingFill();
        }
    } depth(*this);

    const std::string app = LogApplicationPattern(cboApps->currentText().toStdString());
    MSFlexGrid1->hide();
    lblProcessing->show();
    // The grid is rebuilt from scratch; the rows of the last query go while it is hidden.
    MSFlexGrid1->setRowCount(0);

    engine::Recordset rs;
    rs.cursorType = engine::CursorType::Static;
    rs.lockType = engine::LockType::Optimistic;
    LogKind kind = LogKind::Compact;
    if (optLog->isChecked() || optLogBack->isChecked()) {
        kind = optLog->isChecked() ? LogKind::Compact : LogKind::Backup;
        const LogQuery query =
            BuildLogQuery(kind, app, txtBeginningDate->text().toStdString(),
                          txtEndingDate->text().toStdString());
        rs.Open(query.sql, *context.config.ConfigConnection, engine::adCmdText, query.parameters);
    }
    if (rs.Bof() && rs.Eof()) {
        lblProcessing->setText(QStringLiteral("No Records Available."));
        return;
    }

    const int fields = rs.FieldCount();
    QStringList names;
    for (const std::string& name : rs.FieldNames())
        names << Q(name);
    MSFlexGrid1->setColumnCount(fields);
    MSFlexGrid1->setHorizontalHeaderLabels(names);
    const long count = rs.RecordCount();
    MSFlexGrid1->setRowCount(static_cast<int>(count));

    // The widest shortened path, measured once for each application.
    const QFontMetrics metrics(MSFlexGrid1->font());
    std::unordered_set<std::string> measured;
    int appWidth = 0;

    QElapsedTimer slice;
    slice.start();
    int row = 0;
    for (rs.MoveFirst(); !rs.Eof() && row < count; rs.MoveNext(), ++row) {
        for (int column = 0; column < fields; ++column) {
            const engine::Value value = rs.FieldAt(column);
            // An empty cell needs no item: it reads as empty text.
            if (value.IsNull())
                continue;
            const QString text = Q(LogCellText(kind, column, value));
            if (column == 1 && measured.insert(std::string(value.TextView())).second)
                appWidth = std::max(appWidth, metrics.horizontalAdvance(text));
            MSFlexGrid1->setItem(row, column, new QTableWidgetItem(text));
        }
        if ((row & 63) == 63 && slice.elapsed() >= FillSliceMilliseconds) {
            if (!YieldDuringFill(ticket))
                return;
            slice.restart();
        }
    }
    rs.Close();
    SetColumnWidths(*MSFlexGrid1, kind, names, appWidth);
    MSFlexGrid1->show();
    lblProcessing->hide();
}

bool ResultsTab::YieldDuringFill(unsigned ticket)
{
    if (!commandsDisabled) {
        // While the window handles events in the middle of a fill, the tab's own commands wait:
        // a half-filled grid is neither printed nor queried over. The rest of the window (the
        // stop key, the clock, the other tabs, the tray) goes on working.
        QWidget* focus = QApplication::focusWidget();
        focusBeforeFill = focus && SSTab2->isAncestorOf(focus) ? focus : nullptr;
        SSTab2->setEnabled(false);
        commandsDisabled = true;
    }
    QApplication::processEvents();
    return ticket == fillTicket;
}

void ResultsTab::FinishYieldingFill()
{
    if (!commandsDisabled)
        return;
    commandsDisabled = false;
    SSTab2->setEnabled(true);
    if (focusBeforeFill && focusBeforeFill->isVisible())
        focusBeforeFill->setFocus();
    focusBeforeFill = nullptr;
}

} // namespace mallow
