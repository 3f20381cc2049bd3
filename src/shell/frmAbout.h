#pragma once

#include "platform/Registry.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace mallow {

class Prompter;

/// The program's name and version, as the About box shows them.
inline constexpr const char* ProgramTitle = "Mallow";
inline constexpr int VersionMajor = MALLOW_VERSION_MAJOR;
inline constexpr int VersionMinor = MALLOW_VERSION_MINOR;
inline constexpr int VersionRevision = MALLOW_VERSION_REVISION;

/// The About box: the program's icon, title and version, and a button that starts the system
/// information tool the registry names.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    /// `iconFile` is the program's icon; `places` where the registry values are read.
    frmAbout(Prompter& prompter, const QString& iconFile,
             registry::Places places = registry::DefaultPlaces(), QWidget* parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    /// Starts the system information tool: the path of the first registry value that names
    /// one; "System Information Is Unavailable At This Time" when none does.
    void StartSysInfo();
    /// Reads one registry value (see registry::GetKeyValue).
    bool GetKeyValue(registry::RootKey root, const std::string& keyName,
                     const std::string& valueName, std::string& keyValue) const;

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

private:
    Prompter& prompter;
    registry::Places places;
};

} // namespace mallow
