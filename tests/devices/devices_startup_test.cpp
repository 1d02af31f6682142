#include "kivmain.h"
#include "kivprompt.h"
#include "pc_chipr.h"
#include "pc_dirs.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

TEST(DevicesStartupTest, MainWindowPointsTheDatabaseAtUtils)
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.filePath("inst/dll"));
    QDir().mkpath(tmp.filePath("inst/utils"));
    QDir().mkpath(tmp.filePath("inst/lumo"));
    QDir().mkpath(tmp.filePath("home"));
    qputenv("HOME", tmp.filePath("home").toLocal8Bit());
    SetExecutablePathForDirs(tmp.filePath("inst/bin/kiv"));
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);

    SetDeviceFile(QString());
    Tfkivmain main({});
    EXPECT_EQ(DeviceFile(), tmp.filePath("inst/utils/devices.dat"));
    EXPECT_EQ(DeviceFile(), UtilsDir() + "devices.dat");
}
