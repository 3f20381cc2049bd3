#include "QtPrompter.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QString>

namespace mallow {

namespace {

// A prompt without a title of its own carries the program's name, as message boxes do.
QString TitleOr(const std::string& title)
{
    return title.empty() ? QStringLiteral("Mallow") : QString::fromStdString(title);
}

// The program writes CR LF between lines; Qt breaks lines at LF alone.
QString Lines(const std::string& text)
{
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

void QtPrompter::MsgBox(const std::string& text, const std::string& title)
{
    QMessageBox::information(owner, TitleOr(title), Lines(text), QMessageBox::Ok);
}

bool QtPrompter::Confirm(const std::string& text, const std::string& title)
{
    return QMessageBox::question(owner, TitleOr(title), Lines(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtPrompter::InputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner, TitleOr(title), Lines(prompt),
                                               QLineEdit::Normal,
                                               QString::fromStdString(defaultText), &ok);
    if (!ok)
        return std::nullopt;
    return text.toStdString();
}

} // namespace mallow
