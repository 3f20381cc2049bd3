#pragma once

#include "fixtures/TempFolder.h"
#include "platform/Registry.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <filesystem>
#include <string>

namespace mallow::test {

/// A registry store and an autostart folder of their own, in a temporary folder, for as long as
/// the object lives: the program's registry routines use them through MALLOW_REGISTRY and
/// XDG_CONFIG_HOME.
class TempRegistry
{
public:
    TempRegistry()
        : oldStore(qgetenv("MALLOW_REGISTRY")), oldConfig(qgetenv("XDG_CONFIG_HOME")),
          hadStore(qEnvironmentVariableIsSet("MALLOW_REGISTRY")),
          hadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("MALLOW_REGISTRY", QByteArray::fromStdString(folder.File("registry")));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder.File("config")));
    }
    ~TempRegistry()
    {
        hadStore ? (void)qputenv("MALLOW_REGISTRY", oldStore) : (void)qunsetenv("MALLOW_REGISTRY");
        hadConfig ? (void)qputenv("XDG_CONFIG_HOME", oldConfig)
                  : (void)qunsetenv("XDG_CONFIG_HOME");
    }

    void Set(const char* key, const char* name, const std::string& value) const
    {
        registry::SaveRegString(registry::HKEY_LOCAL_MACHINE, key, name, value);
    }
    std::string AutostartFolder() const { return folder.File("config/autostart"); }
    std::string StorePath() const { return folder.File("registry"); }

    /// A program at `path` that writes the arguments it was started with, one a line, into
    /// `path`.args when it has them all.
    static void MakeRecorder(const std::string& path)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
                        "mv \"$0.tmp\" \"$0.args\"\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
    /// The arguments the recorder at `path` was started with; "" when it did not run within
    /// ten seconds.
    static std::string RecordedArguments(const std::string& path)
    {
        QElapsedTimer waited;
        waited.start();
        while (!std::filesystem::exists(path + ".args") && waited.elapsed() < 10000)
            QTest::qWait(20);
        return ReadFile(path + ".args");
    }

    TempFolder folder;

private:
    QByteArray oldStore;
    QByteArray oldConfig;
    bool hadStore;
    bool hadConfig;
};

} // namespace mallow::test
