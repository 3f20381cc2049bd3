#include "frmHelp.h"

#include "util/Controls.h"

#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace mallow {

using namespace ui;

namespace {

constexpr int PageRole = Qt::UserRole;

// The same page, whatever anchor within it a link names.
QUrl PageOf(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
}

} // namespace

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Mallow Help"));
    lstContents = Named(new QListWidget, "lstContents");
    // The page shown stays marked in the contents while the reader is in another window.
    QPalette palette = lstContents->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    lstContents->setPalette(palette);
    txtPage = Named(new QTextBrowser, "txtPage");
    txtPage->setOpenExternalLinks(true);
    cmdBack = Button("cmdBack", "< &Back");
    cmdForward = Button("cmdForward", "&Forward >");
    cmdContents = Button("cmdContents", "&Contents");
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdForward);
    buttons->addWidget(cmdContents);
    buttons->addStretch();
    auto* split = new QSplitter;
    split->addWidget(lstContents);
    split->addWidget(txtPage);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 580});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(split, 1);

    connect(cmdBack, &QPushButton::clicked, txtPage, &QTextBrowser::backward);
    connect(cmdForward, &QPushButton::clicked, txtPage, &QTextBrowser::forward);
    connect(cmdContents, &QPushButton::clicked, txtPage, &QTextBrowser::home);
    connect(txtPage, &QTextBrowser::backwardAvailable, cmdBack, &QPushButton::setEnabled);
    connect(txtPage, &QTextBrowser::forwardAvailable, cmdForward, &QPushButton::setEnabled);
    connect(txtPage, &QTextBrowser::sourceChanged, this, &frmHelp::PageShown);
    connect(lstContents, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const QUrl page = item->data(PageRole).toUrl();
        if (PageOf(txtPage->source()) != page)
            txtPage->setSource(page);
    });
    resize(820, 600);
}

void frmHelp::ShowContents(const QString& indexFile)
{
    if (indexFile != index) {
        index = indexFile;
        FillContents(indexFile);
        txtPage->clearHistory();
        txtPage->setSource(QUrl::fromLocalFile(indexFile));
    } else {
        txtPage->home();
    }
}

void frmHelp::FillContents(const QString& indexFile)
{
    lstContents->clear();
    QFile file(indexFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    const QUrl base = QUrl::fromLocalFile(indexFile);
    auto add = [this](const QString& title, const QUrl& page) {
        auto* item = new QListWidgetItem(title.simplified(), lstContents);
        item->setData(PageRole, PageOf(page));
    };
    const QString title = document.metaInformation(QTextDocument::DocumentTitle);
    add(title.isEmpty() ? QStringLiteral("Contents") : title, base);

    // Every page the contents page links to, once, in the order of the links; a link's text
    // may run over several fragments.
    QList<QUrl> listed{PageOf(base)};
    QString href;
    QString text;
    auto flush = [&] {
        const QUrl page = PageOf(base.resolved(QUrl(href)));
        if (!href.isEmpty() && page.isLocalFile() && !listed.contains(page)) {
            listed << page;
            add(text, page);
        }
        href.clear();
        text.clear();
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString fragmentHref =
                fragment.charFormat().isAnchor() ? fragment.charFormat().anchorHref() : QString();
            if (fragmentHref != href)
                flush();
            href = fragmentHref;
            if (!href.isEmpty())
                text += fragment.text();
        }
        flush();
    }
}

void frmHelp::PageShown(const QUrl& page)
{
    // A page named relatively lies beside the contents page.
    const QUrl shown = PageOf(page.isRelative() ? QUrl::fromLocalFile(index).resolved(page) : page);
    for (int row = 0; row < lstContents->count(); ++row) {
        if (lstContents->item(row)->data(PageRole).toUrl() == shown) {
            lstContents->setCurrentRow(row);
            return;
        }
    }
    lstContents->setCurrentRow(-1);
}

} // namespace mallow
