#pragma once

#include <QWidget>

class QListWidget;
class QPushButton;
class QTextBrowser;
class QUrl;

namespace mallow {

/// The help window: the contents on the left, the page on the right, and Back, Forward and
/// Contents above them. Links between the pages work as in a browser; links to other places
/// open in the desktop's browser.
class frmHelp : public QWidget
{
    Q_OBJECT

public:
    explicit frmHelp(QWidget* parent = nullptr);

    /// Shows the contents page `indexFile` (an HTML file) and lists the pages it links to.
    void ShowContents(const QString& indexFile);

    QListWidget* lstContents = nullptr;
    QTextBrowser* txtPage = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdForward = nullptr;
    QPushButton* cmdContents = nullptr;

private:
    void FillContents(const QString& indexFile);
    void PageShown(const QUrl& page);

    QString index;
};

} // namespace mallow
