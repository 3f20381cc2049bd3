#pragma once

#include "platform/Mpr.h"

class QWidget;

namespace mallow::net {

/// The connect and disconnect dialogs in Qt: the share, the local mount point and the
/// credentials to connect with; the mounted share to disconnect.
class NetDialogs : public platform::ConnectionDialogs
{
public:
    explicit NetDialogs(QWidget* parent = nullptr) : parent(parent) {}

    std::optional<platform::ConnectChoice> AskConnect(platform::HWND owner,
                                                      const std::string& remoteName) override;
    std::optional<std::string>
    AskDisconnect(platform::HWND owner,
                  const std::vector<platform::ConnectionEntry>& connections) override;

private:
    QWidget* parent;
};

} // namespace mallow::net
