#include "QtFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace mallow {

QString QtFileDialogs::QtFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        label.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << p.toLower();
            if (p.toUpper() != p.toLower())
                patterns << p.toUpper();
        }
        filters << label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtFileDialogs::QtFolder(const std::string& folder)
{
    static const QRegularExpression driveRoot(QStringLiteral("^[A-Za-z]:[\\\\/]?$"));
    const QString text = QString::fromStdString(folder);
    if (driveRoot.match(text).hasMatch())
        return QStringLiteral("/");
    return QString(text).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

std::optional<std::string> QtFileDialogs::ShowOpen(const OpenFileRequest& request)
{
    QString start = QtFolder(request.initialFolder);
    if (!request.fileName.empty())
        start = start.isEmpty() ? QString::fromStdString(request.fileName)
                                : QDir(start).filePath(QString::fromStdString(request.fileName));
    const QString title = QString::fromStdString(request.title);
    const QString filter = QtFilter(request.filter);
    QStringList chosen;
    if (request.multiSelect) {
        chosen = QFileDialog::getOpenFileNames(owner, title, start, filter);
    } else {
        const QString one = QFileDialog::getOpenFileName(owner, title, start, filter);
        if (!one.isEmpty())
            chosen << one;
    }
    if (chosen.isEmpty())
        return std::nullopt;
    if (chosen.size() == 1)
        return chosen.front().toStdString();
    // Several files: the folder, then each name after a NUL, as the program decodes it.
    std::string text = QFileInfo(chosen.front()).absolutePath().toStdString();
    for (const QString& file : chosen) {
        text += '\0';
        text += QFileInfo(file).fileName().toStdString();
    }
    return text;
}

std::string QtFileDialogs::BrowseForFolder(const std::string& title)
{
    const QString folder = QFileDialog::getExistingDirectory(owner, QString::fromStdString(title),
                                                             QString(), QFileDialog::ShowDirsOnly);
    return folder.toStdString();
}

} // namespace mallow
