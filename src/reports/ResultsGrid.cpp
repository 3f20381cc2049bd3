// Filling the Results tab's grid from the chosen log.

#include "ResultsTab.h"

#include "engine/Connection.h"
#include "maintenance/Compact.h"
#include "util/Work.h"

#include "config/ConfigDatabase.h"
#include "engine/Recordset.h"
#include "util/Controls.h"
#include "TableWidgetGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>

#include <memory>
#include <unordered_set>
#include <vector>

namespace mallow {

using namespace ui;

namespace {

// The texts of one fill's cells, one after the other, and where each cell's text ends (by the
// cell's place, row by row); a cell without text ends where the one before it does. Only the
// first `filled` cells are written yet.
struct CellTexts
{
    std::string bytes;
    std::vector<std::uint32_t> ends;
    std::size_t filled = 0;
    int columns = 0;
};

// The results grid keeps the texts of its last fill itself: a large log has hundreds of
// thousands of cells, and an item for each would cost more than reading the log does. A cell
// has an item only when one is set on it later, and its item's text then wins.
class ResultsGridWidget final : public QTableWidget, public CellTextSource
{
public:
    std::shared_ptr<const CellTexts> texts;

    QString ItemlessCellText(int row, int column) const override
    {
        if (!texts || row < 0 || column < 0 || column >= texts->columns)
            return QString();
        const std::size_t cell =
            static_cast<std::size_t>(row) * static_cast<std::size_t>(texts->columns) +
            static_cast<std::size_t>(column);
        if (cell >= texts->filled)
            return QString();
        const std::uint32_t start = cell == 0 ? 0 : texts->ends[cell - 1];
        return QString::fromUtf8(texts->bytes.data() + start, texts->ends[cell] - start);
    }
};

// Draws the cells of the results grid that have no item with the grid's own texts.
class ResultsCellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->features & QStyleOptionViewItem::HasDisplay)
            return;
        const auto* grid = qobject_cast<const QTableWidget*>(parent());
        if (!grid || grid->item(index.row(), index.column()))
            return;
        option->text = static_cast<const ResultsGridWidget*>(grid)->ItemlessCellText(
            index.row(), index.column());
        if (!option->text.isEmpty())
            option->features |= QStyleOptionViewItem::HasDisplay;
    }
};

// Paths compared as they are read, without a copy.
struct PathHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const
    {
        return std::hash<std::string_view>()(path);
    }
};

// The widest text a date of the general form takes: two-digit month, day and hour.
const QString WidestGeneralDate = QStringLiteral("12/28/2026 12:59:59 PM");

// The log's widths in twips are the least a column gets; it is made wider where its header, a
// whole date or the widest shortened path it shows needs more.
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

QTableWidget* ResultsTab::NewResultsGrid()
{
    auto* grid = new ResultsGridWidget;
    grid->setItemDelegate(new ResultsCellDelegate(grid));
    return grid;
}

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

    // The query runs off the window's thread on a connection of its own, so that the window
    // goes on answering while SQLite reads the log; the tab's commands wait for it.
    engine::Connection reader;
    engine::Recordset rs;
    rs.cursorType = engine::CursorType::Static;
    rs.lockType = engine::LockType::Optimistic;
    LogKind kind = LogKind::Compact;
    if (optLog->isChecked() || optLogBack->isChecked()) {
        kind = optLog->isChecked() ? LogKind::Compact : LogKind::Backup;
        const LogQuery query = BuildLogQuery(kind, app, txtBeginningDate->text().toStdString(),
                                             txtEndingDate->text().toStdString());
        const std::string source = context.config.ConnectionString;
        DisableCommandsDuringFill();
        context.work->Run([&] {
            reader.FollowLinks = false;
            reader.Open(source, "", "");
            rs.Open(query.sql, reader, engine::adCmdText, query.parameters);
        });
        // A newer fill owns the grid now, or the window closed meanwhile.
        if (ticket != fillTicket || !context.config.IsOpen())
            return;
    }
    // The hidden grid always holds the last query's columns, with or without rows: "Print
    // Results" prints what the last query found, never an older result.
    const int fields = rs.FieldCount();
    QStringList names;
    for (const std::string& name : rs.FieldNames())
        names << Q(name);
    MSFlexGrid1->setColumnCount(fields);
    MSFlexGrid1->setHorizontalHeaderLabels(names);
    if (rs.Bof() && rs.Eof()) {
        lblProcessing->setText(QStringLiteral("No Records Available."));
        return;
    }

    const long count = rs.RecordCount();
    MSFlexGrid1->setRowCount(static_cast<int>(count));

    // The widest shortened path, measured once for each application.
    const QFontMetrics metrics(MSFlexGrid1->font());
    std::unordered_set<std::string, PathHash, std::equal_to<>> measured;
    int appWidth = 0;

    // The cells of the last fill are gone: so may their texts.
    auto texts = std::make_shared<CellTexts>();
    static_cast<ResultsGridWidget*>(MSFlexGrid1)->texts = texts;
    std::string& bytes = texts->bytes;
    bytes.reserve(static_cast<std::size_t>(count) * 96);
    texts->ends.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(fields), 0);
    texts->columns = fields;
    std::uint32_t* end = texts->ends.data();
    std::uint32_t cell = 0;
    // Nothing shows the hidden grid while it fills: it hears of its cells once, at the end.
    QSignalBlocker quiet(MSFlexGrid1->model());
    QElapsedTimer slice;
    slice.start();
    int row = 0;
    for (rs.MoveFirst(); !rs.Eof() && row < count; rs.MoveNext(), ++row) {
        for (int column = 0; column < fields; ++column, ++end, ++cell) {
            const engine::Value value = rs.FieldAt(column);
            const std::size_t at = bytes.size();
            // An empty cell ends where the one before it does.
            if (!value.IsNull())
                AppendLogCellText(kind, column, value, bytes);
            *end = static_cast<std::uint32_t>(bytes.size());
            if (value.IsNull())
                continue;
            if (column == 1 && !measured.contains(value.TextView())) {
                measured.emplace(value.TextView());
                appWidth = std::max(appWidth, metrics.horizontalAdvance(QString::fromUtf8(
                                                  bytes.data() + at, bytes.size() - at)));
            }
        }
        texts->filled = cell;
        if ((row & 63) == 63 && slice.elapsed() >= FillSliceMilliseconds) {
            // What runs meanwhile may change the grid: it must hear of that.
            quiet.unblock();
            // A newer fill owns the grid now, or the window is closing and took the log with it.
            if (!YieldDuringFill(ticket) || !rs.IsOpen() || !context.config.IsOpen())
                return;
            quiet.reblock();
            slice.restart();
        }
    }
    quiet.unblock();
    if (row > 0)
        emit MSFlexGrid1->model()->dataChanged(MSFlexGrid1->model()->index(0, 0),
                                               MSFlexGrid1->model()->index(row - 1, fields - 1));
    rs.Close();
    SetColumnWidths(*MSFlexGrid1, kind, names, appWidth);
    MSFlexGrid1->show();
    lblProcessing->hide();
}

bool ResultsTab::YieldDuringFill(unsigned ticket)
{
    DisableCommandsDuringFill();
    QApplication::processEvents();
    return ticket == fillTicket;
}

void ResultsTab::DisableCommandsDuringFill()
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
