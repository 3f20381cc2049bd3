#include "LogGrid.h"

#include <QFont>
#include <QHeaderView>
#include <QStringList>

#include <cstdio>

namespace mallow::test {

std::string LogComment(int row)
{
    char text[32];
    std::snprintf(text, sizeof text, "Compacted run %05d", row);
    return text;
}

std::unique_ptr<QTableWidget> MakeCompactLogGrid(int rows)
{
    auto grid = std::make_unique<QTableWidget>(rows, 7);
    // The size of a grid's usual font (8.25 points), in the sans-serif face that is installed.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8.25);
    grid->setFont(font);
    grid->horizontalHeader()->setFont(font);
    grid->setHorizontalHeaderLabels(
        {"ID", "App", "Successful", "Size Before", "Size After", "Logged", "Comments"});
    const int twips[] = {0, 2000, 1000, 1000, 1000, 1600, 1800};
    for (int c = 0; c < 7; ++c)
        grid->setColumnWidth(c, twips[c] * grid->logicalDpiX() / 1440);
    grid->setColumnHidden(0, true);
    for (int r = 0; r < rows; ++r) {
        const QString app =
            QStringLiteral("C:\\Data\\ ... Sales%1.mdb").arg(r % 40, 2, 10, QChar('0'));
        const QStringList cells = {
            QString::number(rows - r),
            app,
            r % 17 == 0 ? QStringLiteral("False") : QStringLiteral("True"),
            QString::number(1048576 + r * 4096),
            QString::number(524288 + r * 2048),
            QStringLiteral("3/%1/2024 %2:%3:00 PM")
                .arg(1 + r % 28)
                .arg(1 + r % 12)
                .arg(r % 60, 2, 10, QChar('0')),
            QString::fromStdString(LogComment(r)),
        };
        for (int c = 0; c < 7; ++c)
            grid->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    return grid;
}

} // namespace mallow::test
