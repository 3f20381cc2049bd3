#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace mallow {

class Prompter;

/// The find dialog of the main window's database lists: finds the next entry of `list` that
/// holds the typed text, whatever its letter case, and selects it as a click on it would. The
/// same dialog serves lstApplications (as "frmFind") and lstMUAvailDBs (as "frmFindMU").
class frmFind : public QDialog
{
    Q_OBJECT

public:
    frmFind(QWidget* owner, QListWidget& list, Prompter& prompter,
            const QString& name = QStringLiteral("frmFind"));

    void Form_Load();
    void txtFindText_Change();
    void cmdDone_Click();
    void cmdFind_Click();

    QLabel* Label1 = nullptr;
    QLineEdit* txtFindText = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdDone = nullptr;

private:
    QListWidget& list;
    Prompter& prompter;
    /// The next search starts from the top of the list.
    bool firstSearch = true;
};

/// Opens a fresh find dialog on `list`, modal and owned by `owner`, and returns when it has
/// been closed.
void ShowFindDialog(QWidget& owner, QListWidget& list, Prompter& prompter, const QString& name);

} // namespace mallow
