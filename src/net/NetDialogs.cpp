#include "net/NetDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace mallow::net {

std::optional<platform::ConnectChoice> NetDialogs::AskConnect(platform::HWND,
                                                              const std::string& remoteName)
{
    QDialog dialog(parent);
    dialog.setObjectName("dlgConnect");
    dialog.setWindowTitle("Connect Network Share");
    auto* form = new QFormLayout(&dialog);
    auto* remote = new QLineEdit(QString::fromStdString(remoteName), &dialog);
    remote->setObjectName("txtRemoteName");
    remote->setPlaceholderText("\\\\server\\share");
    auto* local = new QLineEdit(&dialog);
    local->setObjectName("txtLocalName");
    local->setPlaceholderText("mount point (empty: connect without one)");
    auto* user = new QLineEdit(&dialog);
    user->setObjectName("txtUserName");
    auto* password = new QLineEdit(&dialog);
    password->setObjectName("txtPassword");
    password->setEchoMode(QLineEdit::Password);
    form->addRow("Share:", remote);
    form->addRow("Folder:", local);
    form->addRow("User name:", user);
    form->addRow("Password:", password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted || remote->text().trimmed().isEmpty())
        return std::nullopt;
    return platform::ConnectChoice{remote->text().trimmed().toStdString(),
                                   local->text().trimmed().toStdString(),
                                   user->text().toStdString(), password->text().toStdString()};
}

std::optional<std::string>
NetDialogs::AskDisconnect(platform::HWND, const std::vector<platform::ConnectionEntry>& connections)
{
    QDialog dialog(parent);
    dialog.setObjectName("dlgDisconnect");
    dialog.setWindowTitle("Disconnect Network Share");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName("lstConnections");
    for (const auto& c : connections) {
        auto* item =
            new QListWidgetItem(QString::fromStdString(c.localName + "    " + c.remoteName), list);
        item->setData(Qt::UserRole, QString::fromStdString(c.localName));
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || !list->currentItem())
        return std::nullopt;
    return list->currentItem()->data(Qt::UserRole).toString().toStdString();
}

} // namespace mallow::net
