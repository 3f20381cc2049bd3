#include "ResultsTab.h"

#include "util/Controls.h"
#include "util/Dates.h"
#include "util/Handler.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace mallow {

using namespace ui;

ResultsTab::ResultsTab(const TabContext& context, QWidget* parent)
    : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("tabResults"));
    SSTab2 = Named(new QTabWidget, "SSTab2");

    auto* view = new QWidget;
    optLog = Named(new QRadioButton(QStringLiteral("Compact Log")), "optLog");
    optLogBack = Named(new QRadioButton(QStringLiteral("Back Up Log")), "optLogBack");
    auto* viewLayout = new QHBoxLayout(view);
    viewLayout->addWidget(optLog);
    viewLayout->addWidget(optLogBack);
    viewLayout->addStretch();

    auto* criteria = new QWidget;
    cboApps = Named(new QComboBox, "cboApps");
    cboApps->setEditable(true);
    cboApps->setInsertPolicy(QComboBox::NoInsert);
    // The combo box completes by its own rules (type-ahead below), not Qt's.
    cboApps->setCompleter(nullptr);
    // Sized by a number of characters, not by measuring each of its lines.
    cboApps->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboApps->setMinimumContentsLength(40);
    txtBeginningDate = Named(new QLineEdit, "txtBeginningDate");
    txtEndingDate = Named(new QLineEdit, "txtEndingDate");
    ChooseBeginDate = Button("ChooseBeginDate", "...");
    ChooseEndDate = Button("ChooseEndDate", "...");
    ChooseBeginDate->setMaximumWidth(32);
    ChooseEndDate->setMaximumWidth(32);
    cmdRefresh = Button("cmdRefresh", "Refresh");
    auto* criteriaGrid = new QGridLayout(criteria);
    criteriaGrid->addWidget(Label("Select an Application : ", "Label5"), 0, 0);
    criteriaGrid->addWidget(cboApps, 0, 1, 1, 5);
    criteriaGrid->addWidget(Label("Beginning Date", "lblBeginDate"), 1, 0);
    criteriaGrid->addWidget(txtBeginningDate, 1, 1);
    criteriaGrid->addWidget(ChooseBeginDate, 1, 2);
    criteriaGrid->addWidget(Label("Ending Date", "lblEndingDate"), 1, 3);
    criteriaGrid->addWidget(txtEndingDate, 1, 4);
    criteriaGrid->addWidget(ChooseEndDate, 1, 5);
    criteriaGrid->addWidget(cmdRefresh, 1, 6);
    criteriaGrid->setColumnStretch(1, 1);
    criteriaGrid->setColumnStretch(4, 1);

    auto* actions = new QWidget;
    cmdPrint = Button("cmdPrint", "Print Results", "Print the results to the default printer.");
    txtRemoveDataBefore = Named(new QLineEdit, "txtRemoveDataBefore");
    cmdRemoveOldData = Button("cmdRemoveOldData", "Remove");
    auto* actionsLayout = new QHBoxLayout(actions);
    actionsLayout->addWidget(cmdPrint);
    actionsLayout->addSpacing(24);
    actionsLayout->addWidget(Label("Remove Log Data Before this Date:", "Label4"));
    actionsLayout->addWidget(txtRemoveDataBefore);
    actionsLayout->addWidget(cmdRemoveOldData);
    actionsLayout->addStretch();

    SSTab2->addTab(view, QStringLiteral("View"));
    SSTab2->addTab(criteria, QStringLiteral("Criteria"));
    SSTab2->addTab(actions, QStringLiteral("Actions"));
    SSTab2->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    MSFlexGrid1 = Named(new QTableWidget, "MSFlexGrid1");
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rtfSummary = Named(new QTextEdit, "rtfSummary");
    rtfSummary->setReadOnly(true);
    resultsArea = Named(new QStackedWidget, "resultsArea");
    resultsArea->addWidget(MSFlexGrid1);
    resultsArea->addWidget(rtfSummary);
    lblProcessing = Label("Processing ...", "lblProcessing");
    lblProcessing->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab2);
    layout->addWidget(lblProcessing);
    layout->addWidget(resultsArea, 1);

    connect(cboApps->lineEdit(), &QLineEdit::textEdited, this, &ResultsTab::cboApps_Change);
    // The combo box receives the keys and focus changes and hands keys on to its edit line.
    cboApps->installEventFilter(this);
}

ResultsTab::~ResultsTab()
{
    // The combo box outlives this object's own part while the page's children are deleted.
    cboApps->removeEventFilter(this);
}

void ResultsTab::LoadDates(double today)
{
    const QString day = Q(dates::ShortDate(today));
    txtBeginningDate->setText(day);
    txtEndingDate->setText(day);
}

void ResultsTab::LoadView()
{
    optLog->setChecked(true);
    cboApps->setEditText(QStringLiteral("All (Show All)"));
}

bool ResultsTab::eventFilter(QObject* watched, QEvent* event)
{
    // The window's stop key sees the key first (the window watches every key).
    if (watched == cboApps) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (cboApps_KeyDown(key->key()))
                return true;
            const QString text = key->text();
            cboApps_KeyPress(text.isEmpty() ? 0 : text.at(0).unicode());
            return false;
        }
        // Opening the combo box's own list is no leaving of the combo box.
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            cboApps_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void ResultsTab::cboApps_KeyPress(int keyAscii)
{
    cboAppsLastKey = keyAscii;
}

bool ResultsTab::cboApps_KeyDown(int keyCode)
{
    if (keyCode != Qt::Key_Delete)
        return false;
    // Delete acts as Backspace, so that it never completes a line either.
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    QApplication::sendEvent(cboApps, &backspace);
    return true;
}

void ResultsTab::cboApps_Change()
{
    RunHandler(context.prompter, "cboApps_Change", [this] {
        if (cboAppsLastKey >= 32)
            Combo_TypeAhead(cboApps);
    });
}

void ResultsTab::cboApps_LostFocus()
{
    RunHandler(context.prompter, "cboApps_LostFocus",
               [this] { Combo_AddNew(cboApps, false, true); });
}

void ResultsTab::Combo_TypeAhead(QComboBox* combo, bool caseSensitive)
{
    const QString typed = combo->currentText();
    if (typed.isEmpty())
        return;
    const auto sensitivity = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < combo->count(); ++i) {
        const QString line = combo->itemText(i);
        if (line.startsWith(typed, sensitivity)) {
            combo->setCurrentIndex(i);
            // The typed characters stay, the completion is selected for typing over.
            combo->lineEdit()->setText(line);
            combo->lineEdit()->setSelection(typed.size(), line.size() - typed.size());
            return;
        }
    }
}

void ResultsTab::Combo_AddNew(QComboBox* combo, bool caseSensitive, bool addAsUpperCase)
{
    const QString text = combo->currentText();
    const auto sensitivity = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).compare(text, sensitivity) == 0)
            return;
    }
    combo->addItem(addAsUpperCase ? text.toUpper() : text);
    combo->setCurrentIndex(combo->count() - 1);
}

} // namespace mallow
