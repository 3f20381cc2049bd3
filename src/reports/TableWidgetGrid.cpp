#include "TableWidgetGrid.h"

#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTableWidget>

namespace mallow {

namespace {

StdFont ToStdFont(const QFont& font, double dpi)
{
    StdFont look;
    look.Name = font.family().toStdString();
    look.Size = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / dpi;
    look.Bold = font.bold();
    look.Italic = font.italic();
    look.Underline = font.underline();
    look.Strikethrough = font.strikeOut();
    return look;
}

QImage DecorationImage(const QVariant& decoration, const QSize& iconSize)
{
    if (decoration.canConvert<QIcon>() && decoration.typeId() == QMetaType::QIcon)
        return decoration.value<QIcon>().pixmap(iconSize).toImage();
    if (decoration.typeId() == QMetaType::QPixmap)
        return decoration.value<QPixmap>().toImage();
    if (decoration.typeId() == QMetaType::QImage)
        return decoration.value<QImage>();
    return {};
}

} // namespace

QString CellText(const QTableWidget& table, int row, int column)
{
    if (const QTableWidgetItem* item = table.item(row, column))
        return item->text();
    if (const auto* source = dynamic_cast<const CellTextSource*>(&table))
        return source->ItemlessCellText(row, column);
    return QString();
}

TableWidgetGrid::TableWidgetGrid(const QTableWidget& table)
    : table(table), headerIsRow0(!table.horizontalHeader()->isHidden()),
      twipsPerPixel(1440.0 / table.logicalDpiX())
{
}

long TableWidgetGrid::Rows() const
{
    return table.rowCount() + (headerIsRow0 ? 1 : 0);
}

long TableWidgetGrid::Cols() const
{
    return table.columnCount();
}

long TableWidgetGrid::FixedRows() const
{
    return headerIsRow0 || table.rowCount() > 0 ? 1 : 0;
}

const QTableWidgetItem* TableWidgetGrid::Item(long row, long col) const
{
    if (!headerIsRow0)
        return table.item(static_cast<int>(row), static_cast<int>(col));
    if (row == 0)
        return table.horizontalHeaderItem(static_cast<int>(col));
    return table.item(static_cast<int>(row - 1), static_cast<int>(col));
}

std::string TableWidgetGrid::TextMatrix(long row, long col) const
{
    if (headerIsRow0 && row == 0) {
        const QTableWidgetItem* header = Item(row, col);
        return header ? header->text().toStdString() : std::string();
    }
    return CellText(table, static_cast<int>(headerIsRow0 ? row - 1 : row), static_cast<int>(col))
        .toStdString();
}

double TableWidgetGrid::ColWidth(long col) const
{
    if (table.isColumnHidden(static_cast<int>(col)))
        return 0;
    return table.columnWidth(static_cast<int>(col)) * twipsPerPixel;
}

int TableWidgetGrid::ColAlignment(long col) const
{
    // The column's alignment is that of its first data cell that sets one.
    for (long row = FixedRows(); row < Rows(); ++row) {
        const QTableWidgetItem* item = Item(row, col);
        if (!item || !item->data(Qt::TextAlignmentRole).isValid())
            continue;
        const int align = item->textAlignment();
        if (align & Qt::AlignHCenter)
            return flexAlign::CenterCenter;
        if (align & Qt::AlignRight)
            return flexAlign::RightCenter;
        return flexAlign::LeftCenter;
    }
    return flexAlign::General;
}

StdFont TableWidgetGrid::CellFont(long row, long col) const
{
    const QTableWidgetItem* item = Item(row, col);
    if (item && item->data(Qt::FontRole).isValid())
        return ToStdFont(item->font(), table.logicalDpiY());
    if (headerIsRow0 && row == 0)
        return ToStdFont(table.horizontalHeader()->font(), table.logicalDpiY());
    return ToStdFont(table.font(), table.logicalDpiY());
}

PictureObject TableWidgetGrid::CellPicture(long row, long col) const
{
    const QTableWidgetItem* item = Item(row, col);
    if (!item)
        return nullptr;
    const QVariant decoration = item->data(Qt::DecorationRole);
    if (!decoration.isValid())
        return nullptr;
    const QImage image =
        DecorationImage(decoration, table.iconSize()).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return nullptr;
    auto picture = std::make_shared<StdPicture>();
    picture->Handle = static_cast<std::uint64_t>(image.cacheKey()) | 1u;
    picture->PixelWidth = image.width();
    picture->PixelHeight = image.height();
    picture->Width = image.width() * 2540.0 / table.logicalDpiX();
    picture->Height = image.height() * 2540.0 / table.logicalDpiY();
    picture->Pixels.resize(static_cast<std::size_t>(image.width()) *
                           static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        std::copy(line, line + image.width(),
                  picture->Pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width());
    }
    return picture;
}

} // namespace mallow
