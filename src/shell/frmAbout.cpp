#include "frmAbout.h"

#include "platform/ProgramStart.h"
#include "util/Controls.h"
#include "util/Handler.h"
#include "util/Paths.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

namespace mallow {

using namespace ui;

namespace {

const char* const MsInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const MsInfoValue = "PATH";
const char* const MsInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const MsInfoLocationValue = "MSINFO";

// The registry names one program by its path: it is started as one word, blanks and quotes
// and all.
std::string QuotedPath(const std::string& path)
{
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

frmAbout::frmAbout(Prompter& prompter, const QString& iconFile, registry::Places places,
                   QWidget* parent)
    : QDialog(parent), prompter(prompter), places(std::move(places))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Mallow"));
    picIcon = Named(new QLabel, "picIcon");
    picIcon->setPixmap(QIcon(iconFile).pixmap(48, 48));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lblTitle = Named(new QLabel, "lblTitle");
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = Named(new QLabel, "lblVersion");
    lblDescription =
        Named(new QLabel(QStringLiteral("Compacts and backs up shared database files on a weekly "
                                        "schedule, and finds, warns and disconnects the people who "
                                        "still have them open on their file servers.")),
              "lblDescription");
    lblDescription->setWordWrap(true);
    Line1 = Named(new QFrame, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    cmdOK = Button("cmdOK", "OK");
    cmdOK->setDefault(true);
    cmdSysInfo = Button("cmdSysInfo", "&System Info...");

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(8);
    texts->addWidget(lblDescription);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addStretch();
    layout->addWidget(Line1);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
    resize(440, 210);
}

void frmAbout::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(VersionMajor)
                            .arg(VersionMinor)
                            .arg(VersionRevision));
    lblTitle->setText(QLatin1String(ProgramTitle));
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    RunHandler(prompter, "cmdSysInfo_Click", [this] { StartSysInfo(); });
}

bool frmAbout::GetKeyValue(registry::RootKey root, const std::string& keyName,
                           const std::string& valueName, std::string& keyValue) const
{
    return registry::GetKeyValue(root, keyName, valueName, keyValue, places);
}

void frmAbout::StartSysInfo()
{
    std::string sysInfoPath;
    if (!GetKeyValue(registry::HKEY_LOCAL_MACHINE, MsInfoKey, MsInfoValue, sysInfoPath)) {
        std::string folder;
        std::error_code ec;
        if (GetKeyValue(registry::HKEY_LOCAL_MACHINE, MsInfoLocationKey, MsInfoLocationValue,
                        folder) &&
            std::filesystem::exists(NativePath(folder + SeparatorOf(folder) + "MSINFO32.EXE"),
                                    ec)) {
            sysInfoPath = folder + SeparatorOf(folder) + "MSINFO32.EXE";
        } else {
            prompter.MsgBox("System Information Is Unavailable At This Time");
            return;
        }
    }
    platform::StartProgram(QuotedPath(NativePath(sysInfoPath)));
}

} // namespace mallow
