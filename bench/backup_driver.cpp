// Drives one back-up step as a whole process, for timing against the system's tools:
//   backup_driver retention FOLDER BASENAME   deletes the expired back-ups of BASENAME in FOLDER
//   backup_driver backup SOURCE FOLDER         backs SOURCE up into FOLDER (full BackupApplication)
// Prints nothing; exits non-zero on failure.

#include "config/ConfigDatabase.h"
#include "maintenance/Compact.h"
#include "util/Clock.h"
#include "util/FileOps.h"
#include "util/Paths.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct NoPanels : mallow::StatusPanels
{
    void SetStatusPanel(int, const std::string&) override {}
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    mallow::SystemClock clock;
    try {
        if (std::strcmp(argv[1], "retention") == 0) {
            mallow::Folder folder(argv[2]);
            mallow::Compact::DeleteExpiredBackups(folder, folder.RegularFileNames(), argv[3],
                                                  clock.Now(), 7, "");
            return 0;
        }
        if (std::strcmp(argv[1], "backup") == 0) {
            // A configuration database of its own beside the source, for the log row.
            const std::string programFolder = std::string(argv[3]) + "/.config";
            std::filesystem::create_directories(programFolder);
            std::filesystem::copy_file(mallow::ProgramFolder() + "/Compact20.mdb",
                                       programFolder + "/Compact20.mdb",
                                       std::filesystem::copy_options::overwrite_existing);
            mallow::ConfigDatabase config;
            config.Open(programFolder);
            NoPanels panels;
            std::string result;
            mallow::Compact compact(config, clock, panels, result);
            const std::string source = argv[2];
            const bool ok = compact.BackupApplication(
                1, source, std::string(argv[3]) + "/" + mallow::FileNameOfPath(source));
            if (!ok)
                std::fprintf(stderr, "%s\n", result.c_str());
            return ok ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 2;
}
