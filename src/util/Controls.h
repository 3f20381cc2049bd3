#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <string>

// Builders of the controls of the main window's tab pages: each control is made with its name
// as its object name, which is how the program's code and its tests find it.

namespace mallow::ui {

inline QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

inline QPushButton* Button(const char* name, const char* caption, const char* tip = nullptr)
{
    auto* button = Named(new QPushButton(QString::fromUtf8(caption)), name);
    if (tip)
        button->setToolTip(QString::fromUtf8(tip));
    return button;
}

inline QLabel* Label(const char* caption, const char* name = nullptr)
{
    auto* label = new QLabel(QString::fromUtf8(caption));
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

/// Twips are 1/1440 inch; the screen's logical resolution turns them into pixels.
inline int TwipsToPixels(int twips, const QWidget* widget)
{
    return twips * widget->logicalDpiX() / 1440;
}

/// The item data of list lines and combo-box lines: the App ID of the application a line shows.
inline constexpr int ItemDataRole = Qt::UserRole;

} // namespace mallow::ui
