#include "ResultsTab.h"

#include "TableWidgetGrid.h"

#include "PrintResults.h"
#include "clsTablePrint.h"
#include "config/ConfigDatabase.h"
#include "frmChooseDate.h"
#include "util/Controls.h"
#include "util/Dates.h"
#include "util/Handler.h"
#include "util/Hourglass.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
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

    MSFlexGrid1 = Named(NewResultsGrid(), "MSFlexGrid1");
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    MSFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFlexGrid1->verticalHeader()->hide();
    // Rows as high as a line of text, as a grid's are.
    const int rowHeight = MSFlexGrid1->fontMetrics().height() + 6;
    MSFlexGrid1->verticalHeader()->setMinimumSectionSize(rowHeight);
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(rowHeight);
    MSFlexGrid1->horizontalHeader()->setHighlightSections(false);
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

    // Until a log is chosen there is nothing to refresh and no criteria to set.
    cmdRefresh->setEnabled(false);
    SSTab2->setTabEnabled(1, false);

    connect(optLog, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optLog_Click();
    });
    connect(optLogBack, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optLogBack_Click();
    });
    connect(cmdRefresh, &QPushButton::clicked, this, &ResultsTab::cmdRefresh_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &ResultsTab::cmdPrint_Click);
    connect(cmdRemoveOldData, &QPushButton::clicked, this, &ResultsTab::cmdRemoveOldData_Click);
    connect(ChooseBeginDate, &QPushButton::clicked, this, &ResultsTab::ChooseBeginDate_Click);
    connect(ChooseEndDate, &QPushButton::clicked, this, &ResultsTab::ChooseEndDate_Click);
    connect(MSFlexGrid1, &QTableWidget::cellDoubleClicked, this, &ResultsTab::MSFlexGrid1_DblClick);
    connect(cboApps->lineEdit(), &QLineEdit::textEdited, this, &ResultsTab::cboApps_Change);
    // The combo box receives the keys and focus changes and hands keys on to its edit line.
    cboApps->installEventFilter(this);
}

ResultsTab::~ResultsTab()
{
    // The combo box outlives this object's own part while the page's children are deleted.
    cboApps->removeEventFilter(this);
}

void ResultsTab::LoadTablePrint()
{
    Table = std::make_unique<clsTablePrint>();
}

void ResultsTab::LoadDates(double today)
{
    const QString day = Q(dates::ShortDate(today));
    txtBeginningDate->setText(day);
    txtEndingDate->setText(day);
}

void ResultsTab::LoadView()
{
    if (optLog->isChecked())
        optLog_Click();
    else
        optLog->setChecked(true);
    cboApps->setEditText(QStringLiteral("All (Show All)"));
}

void ResultsTab::optLog_Click()
{
    RunHandler(context.prompter, "optLog_Click", [this] {
        resultsArea->setCurrentWidget(MSFlexGrid1);
        cmdRefresh->setEnabled(true);
        SSTab2->setTabEnabled(1, true);
        FillResultsGrid();
    });
}

void ResultsTab::optLogBack_Click()
{
    RunHandler(context.prompter, "optLogBack_Click", [this] {
        resultsArea->setCurrentWidget(MSFlexGrid1);
        cmdRefresh->setEnabled(true);
        SSTab2->setTabEnabled(1, true);
        FillResultsGrid();
    });
}

void ResultsTab::cmdRefresh_Click()
{
    RunHandler(context.prompter, "cmdRefresh_Click", [this] {
        Hourglass hourglass(&context.window);
        FillResultsGrid();
    });
}

void ResultsTab::SSTab1_Click(int index)
{
    RunHandler(context.prompter, "SSTab1_Click", [&] {
        if (index == 2)
            SSTab2->setCurrentIndex(0);
    });
}

void ResultsTab::MSFlexGrid1_DblClick()
{
    RunHandler(context.prompter, "MSFlexGrid1_DblClick", [this] {
        // A grid that selects whole columns zooms in on the row's hidden ID.
        if (MSFlexGrid1->selectionBehavior() == QAbstractItemView::SelectColumns)
            MSFlexGrid1->setCurrentCell(MSFlexGrid1->currentRow(), 0);
        const int row = MSFlexGrid1->currentRow();
        const int column = MSFlexGrid1->currentColumn();
        context.prompter.MsgBox(
            row < 0 || column < 0 ? std::string()
                                  : CellText(*MSFlexGrid1, row, column).toStdString(),
            "Zoom Box");
    });
}

void ResultsTab::cmdRemoveOldData_Click()
{
    RunHandler(context.prompter, "errcmdRemoveOldData_Click", [this] {
        const std::string day = txtRemoveDataBefore->text().toStdString();
        if (!dates::ParseDateTime(day)) {
            context.prompter.MsgBox("Please enter a date.");
            txtRemoveDataBefore->setFocus();
            return;
        }
        Hourglass hourglass(&context.window);
        RemoveLogDataBefore(*context.config.ConfigConnection, day);
        hourglass.Restore();
        context.prompter.MsgBox("Log data has been removed.");
        txtRemoveDataBefore->clear();
    });
}

void ResultsTab::cmdPrint_Click()
{
    RunHandler(context.prompter, "cmdPrint_Click", [this] {
        Hourglass hourglass(&context.window);
        if (!Table)
            RaiseRuntimeError(91, "cmdPrint_Click");
        const PrintDestination went =
            PrintResultsGrid(*Table, *MSFlexGrid1, DefaultPrintDestination(DefaultPdfFolder()));
        hourglass.Restore();
        if (went.pdf)
            context.prompter.MsgBox(PrintedToPdfText(went.name));
    });
}

void ResultsTab::ChooseBeginDate_Click()
{
    mallow::ChooseBeginDate_Click(context.prompter, context.window, *ChooseBeginDate,
                                  *txtBeginningDate);
}

void ResultsTab::ChooseEndDate_Click()
{
    mallow::ChooseEndDate_Click(context.prompter, context.window, *ChooseEndDate, *txtEndingDate);
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
