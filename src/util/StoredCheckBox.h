#pragma once

#include <QCheckBox>

namespace mallow {

/// A check box that shows a value stored in a configuration column: 0 unchecked, 1 checked,
/// 2 greyed. A stored 2 shows grey, but the user's click (or space bar) only ever toggles
/// between checked and unchecked; from grey it goes to checked.
class StoredCheckBox : public QCheckBox
{
public:
    explicit StoredCheckBox(const QString& text, QWidget* parent = nullptr)
        : QCheckBox(text, parent)
    {
    }

    /// Shows a stored value; anything but 1 and 2 shows unchecked.
    void SetValue(int value)
    {
        setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    }
    /// The value the box stores: 0 unchecked, 1 checked, 2 greyed.
    int Value() const
    {
        switch (checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
        }
    }

protected:
    void nextCheckState() override
    {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

} // namespace mallow
