#include "kivassoc.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::SourceDir;
using kiv::test::WriteFile;

namespace {

const char *const kXdgVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS",
                                     "XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP"};

// Puts the process's environment back as it was, so no later test sees the temporary home.
class TEnvGuard {
public:
    TEnvGuard()
    {
        for (const char *name : kXdgVariables) {
            if (qEnvironmentVariableIsSet(name))
                m_saved[name] = qgetenv(name);
            else
                m_saved[name] = std::nullopt;
        }
    }
    ~TEnvGuard()
    {
        for (auto it = m_saved.begin(); it != m_saved.end(); ++it) {
            if (it.value())
                qputenv(it.key(), *it.value());
            else
                qunsetenv(it.key());
        }
    }

private:
    QMap<QByteArray, std::optional<QByteArray>> m_saved;
};

int IndexOf(const char *extension)
{
    for (int i = 0; i < KivFileCount; ++i) {
        if (qstrcmp(g_KivFiles[i].extension, extension) == 0)
            return i;
    }
    return -1;
}

const TKivFile &Entry(const char *extension)
{
    return g_KivFiles[IndexOf(extension)];
}

// The project icon the installation ships, from the source tree.
QString ShippedIcon()
{
    const QString source = SourceDir().isEmpty() ? QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../.."
                                                 : SourceDir();
    return QDir::cleanPath(source + "/data/icons/kivproject.svg");
}

// A program that records the arguments it was started with in "opened.txt" beside itself.
const char kRecorder[] = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/opened.txt\"\n";

// Every test works in a temporary home: HOME and all XDG folders point into it, the system
// folders included, so the real user's files and the machine's defaults never take part.
class AssocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_root = m_tmp.path();
        qputenv("HOME", Path("home").toLocal8Bit());
        qputenv("XDG_DATA_HOME", Path("home/.local/share").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", Path("home/.config").toLocal8Bit());
        qputenv("XDG_DATA_DIRS", Path("system/share").toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", Path("system/xdg").toLocal8Bit());
        qunsetenv("XDG_CURRENT_DESKTOP");
        m_exe = InstallProgram("inst/bin/kiv");
        ASSERT_TRUE(QFile::copy(ShippedIcon(), Path("inst/icons/kivproject.svg"))) << ShippedIcon().toStdString();
    }

    QString Path(const QString &relative) const { return m_root + '/' + relative; }

    // The recorder program at `relative`, executable.
    QString InstallProgram(const QString &relative)
    {
        const QString path = Path(relative);
        EXPECT_TRUE(WriteFile(path, kRecorder));
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        QDir().mkpath(QFileInfo(path).absolutePath() + "/../icons");
        return path;
    }

    TAssocEnvironment Env(const QString &exe = {}) const
    {
        TAssocEnvironment env = TAssocEnvironment::ForExecutable(exe.isEmpty() ? m_exe : exe, Path("inst/icons/"));
        env.refreshDatabases = false;
        return env;
    }

    QString DataHome() const { return Path("home/.local/share"); }
    QString ConfigHome() const { return Path("home/.config"); }
    QString MimeApps() const { return ConfigHome() + "/mimeapps.list"; }

    // Fill, set the check of one entry, Apply.
    TAssocApplyResult SetEntry(TKivAssoc &assoc, const char *extension, bool on)
    {
        assoc.Fill();
        assoc.SetChecked(IndexOf(extension), on);
        return assoc.Apply();
    }

    // The checks a fresh Fill shows.
    std::vector<bool> Checks(const TAssocEnvironment &env) const
    {
        TKivAssoc assoc(env);
        assoc.Fill();
        std::vector<bool> checks;
        for (int i = 0; i < assoc.Count(); ++i)
            checks.push_back(assoc.Checked(i));
        return checks;
    }

    // Every file below the temporary root with its contents and time stamp.
    QMap<QString, QPair<QByteArray, QDateTime>> Snapshot() const
    {
        QMap<QString, QPair<QByteArray, QDateTime>> files;
        QDirIterator it(m_root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files[path] = {ReadFile(path), QFileInfo(path).lastModified()};
        }
        return files;
    }

    TEnvGuard m_envGuard;
    QTemporaryDir m_tmp;
    QString m_root;
    QString m_exe;
};

std::vector<bool> Only(int index)
{
    std::vector<bool> checks(KivFileCount, false);
    if (index >= 0)
        checks[index] = true;
    return checks;
}

}  // namespace

TEST(AssocTable, EntriesInOrderWithTheirTextsAndTypes)
{
    struct Row {
        const char *text;
        const char *desktopId;
        const char *typeDescription;
        const char *mimeType;
        bool own;
    };
    const Row rows[] = {
        {".PJT (Project)", "VYN.Kiv.Project.desktop", "VYN Kiv Project", "application/x-kiv-project", true},
        {".C (C Source File)", "VYN.Kiv.C.Source.File.desktop", "VYN Kiv C Source File", "text/x-csrc", false},
        {".H (Header File)", "VYN.Kiv.Header.File.desktop", "VYN Kiv Header File", "text/x-chdr", false},
        {".LST (List)", "VYN.Kiv.List.desktop", "VYN Kiv List", "text/x-kiv-list", true},
        {".SYM (Symbols)", "VYN.Kiv.Symbols.desktop", "VYN Kiv Symbols", "text/x-kiv-symbols", true},
        {".TRE (Call Tree)", "VYN.Kiv.Call.Tree.desktop", "VYN Kiv Call Tree", "text/x-kiv-call-tree", true},
        {".COF (COFF)", "VYN.Kiv.COFF.desktop", "VYN Kiv COFF", "application/x-kiv-coff", true},
        {".COD (Code)", "VYN.Kiv.Code.desktop", "VYN Kiv Code", "application/x-kiv-cod", true},
        {".HEX (Target Hex)", "VYN.Kiv.Target.Hex.desktop", "VYN Kiv Target Hex", "text/x-kiv-hex", true},
    };
    TKivAssoc assoc(TAssocEnvironment{});
    assoc.Fill();
    ASSERT_EQ(assoc.Count(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(rows[i].text);
        EXPECT_EQ(assoc.ItemText(i), rows[i].text);
        EXPECT_EQ(TKivAssoc::DesktopId(g_KivFiles[i]), rows[i].desktopId);
        EXPECT_EQ(TKivAssoc::TypeDescription(g_KivFiles[i]), rows[i].typeDescription);
        EXPECT_STREQ(g_KivFiles[i].mimeType, rows[i].mimeType);
        EXPECT_EQ(g_KivFiles[i].ownMimeType, rows[i].own);
        EXPECT_EQ(g_KivFiles[i].iconIndex, i == 0 ? 1 : 0);
    }
}

TEST(AssocEnvironment, XdgFoldersAndTheirDefaults)
{
    TEnvGuard guard;
    struct Case {
        const char *name;
        QMap<QByteArray, QByteArray> set;   // variables set; the others are unset
        QString dataHome, configHome;
        QStringList dataDirs, configDirs, desktops;
    };
    const Case cases[] = {
        {"defaults", {{"HOME", "/h"}}, "/h/.local/share", "/h/.config", {"/usr/local/share", "/usr/share"},
         {"/etc/xdg"}, {}},
        {"set", {{"HOME", "/h"}, {"XDG_DATA_HOME", "/d/"}, {"XDG_CONFIG_HOME", "/c"},
                 {"XDG_DATA_DIRS", "/s1:/s2"}, {"XDG_CONFIG_DIRS", "/x1"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}},
         "/d", "/c", {"/s1", "/s2"}, {"/x1"}, {"ubuntu", "gnome"}},
        {"empty and relative values are ignored",
         {{"HOME", "/h"}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", "rel/cfg"}, {"XDG_DATA_DIRS", "rel:/s"},
          {"XDG_CONFIG_DIRS", "rel"}},
         "/h/.local/share", "/h/.config", {"/s"}, {"/etc/xdg"}, {}},
        {"no home", {}, "", "", {"/usr/local/share", "/usr/share"}, {"/etc/xdg"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const char *name : kXdgVariables)
            qunsetenv(name);
        for (auto it = c.set.begin(); it != c.set.end(); ++it)
            qputenv(it.key(), it.value());
        const TAssocEnvironment env = TAssocEnvironment::ForExecutable("/opt/kiv/bin/kiv", "/opt/kiv/icons/");
        EXPECT_EQ(env.dataHome, c.dataHome);
        EXPECT_EQ(env.configHome, c.configHome);
        EXPECT_EQ(env.dataDirs, c.dataDirs);
        EXPECT_EQ(env.configDirs, c.configDirs);
        EXPECT_EQ(env.desktops, c.desktops);
    }
}

TEST(AssocExec, QuotedProgramReadsBackAsItWasWritten)
{
    const QString paths[] = {
        "/opt/kiv/bin/kiv",
        "/opt/KIV IDE/bin/kiv",
        "/home/me/it's \"mine\"/$HOME/`x`/kiv",
        "/opt/back\\slash/100%/a;b&c|d<e>f~g*h?i#j(k)/kiv",
        "/opt/tab\there/kiv",
    };
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QString exec = TKivAssoc::QuoteExecArgument(path) + " %f";
        EXPECT_EQ(TKivAssoc::ExecProgram(exec), path);
    }
    EXPECT_EQ(TKivAssoc::QuoteExecArgument("/opt/kiv/bin/kiv"), "/opt/kiv/bin/kiv");
    EXPECT_EQ(TKivAssoc::QuoteExecArgument("/opt/KIV IDE/kiv"), "\"/opt/KIV IDE/kiv\"");
    EXPECT_EQ(TKivAssoc::QuoteExecArgument("/a/100%/kiv"), "/a/100%%/kiv");
    // Malformed values name no program.
    EXPECT_EQ(TKivAssoc::ExecProgram("\"/opt/unterminated/kiv %f"), "");
    EXPECT_EQ(TKivAssoc::ExecProgram(""), "");
}

class AssocEachEntry : public AssocTest, public ::testing::WithParamInterface<int> {};

TEST_P(AssocEachEntry, RegisterThenUnregister)
{
    const int index = GetParam();
    const TKivFile &file = g_KivFiles[index];
    const QString id = TKivAssoc::DesktopId(file);
    TKivAssoc assoc(Env());
    EXPECT_EQ(Checks(Env()), Only(-1));

    TAssocApplyResult result = SetEntry(assoc, file.extension, true);
    EXPECT_EQ(result.changed, 1);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(Checks(Env()), Only(index));
    EXPECT_EQ(assoc.DefaultApplication(file.mimeType), id);

    const QString entry = QString::fromUtf8(ReadFile(DataHome() + "/applications/" + id));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nExec=" + m_exe + " %f\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nMimeType=" + QString(file.mimeType) + ";\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nComment=" + TKivAssoc::TypeDescription(file) + "\n"));
    EXPECT_EQ(QString::fromUtf8(ReadFile(MimeApps())),
              QString("[Default Applications]\n%1=%2;\n").arg(file.mimeType, id));
    const QString package = assoc.MimePackagePath(file);
    if (file.ownMimeType) {
        const QString xml = QString::fromUtf8(ReadFile(package));
        EXPECT_TRUE(xml.contains(QString("<mime-type type=\"%1\">").arg(file.mimeType))) << xml.toStdString();
        EXPECT_TRUE(xml.contains(QString("<glob pattern=\"*.%1\"/>").arg(QString(file.extension).toLower())));
        EXPECT_TRUE(xml.contains("<comment>" + TKivAssoc::TypeDescription(file) + "</comment>"));
    } else {
        EXPECT_TRUE(package.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(DataHome() + "/mime"));
    }

    result = SetEntry(assoc, file.extension, false);
    EXPECT_EQ(result.changed, 1);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(Checks(Env()), Only(-1));
    EXPECT_FALSE(QFileInfo::exists(DataHome() + "/applications/" + id));
    EXPECT_FALSE(QFileInfo::exists(DataHome() + "/mime/packages/" + QFileInfo(package).fileName()));
    if (file.ownMimeType) {
        EXPECT_FALSE(QFileInfo::exists(assoc.MimeIconPath(file)));
    }
    EXPECT_FALSE(ReadFile(MimeApps()).contains(file.mimeType));
}

INSTANTIATE_TEST_SUITE_P(AllNine, AssocEachEntry, ::testing::Range(0, KivFileCount),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(g_KivFiles[info.param].extension);
                         });

TEST_F(AssocTest, AllNineTogetherAndOnlyProjectGetsAnIcon)
{
    TKivAssoc assoc(Env());
    assoc.Fill();
    for (int i = 0; i < KivFileCount; ++i)
        assoc.SetChecked(i, true);
    const TAssocApplyResult result = assoc.Apply();
    EXPECT_EQ(result.changed, 9);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(Checks(Env()), std::vector<bool>(KivFileCount, true));

    const QString icon = Path("inst/icons/kivproject.svg");
    for (const TKivFile &file : g_KivFiles) {
        SCOPED_TRACE(file.extension);
        const QString entry = QString::fromUtf8(ReadFile(assoc.DesktopFilePath(file)));
        const bool project = qstrcmp(file.extension, "PJT") == 0;
        EXPECT_EQ(entry.contains("\nIcon=" + icon + "\n"), project) << entry.toStdString();
        EXPECT_EQ(entry.contains("Icon="), project);
        if (file.ownMimeType) {
            EXPECT_EQ(QFileInfo::exists(assoc.MimeIconPath(file)), project);
        }
    }
    EXPECT_EQ(ReadFile(assoc.MimeIconPath(Entry("PJT"))), ReadFile(icon));
    EXPECT_TRUE(ReadFile(icon).startsWith("<?xml"));

    // Without the icon file the project is still registered, only without an icon.
    ASSERT_TRUE(SetEntry(assoc, "PJT", false).failed == 0);
    QFile::remove(icon);
    ASSERT_TRUE(SetEntry(assoc, "PJT", true).failed == 0);
    EXPECT_FALSE(ReadFile(assoc.DesktopFilePath(Entry("PJT"))).contains("Icon="));
    EXPECT_FALSE(QFileInfo::exists(assoc.MimeIconPath(Entry("PJT"))));
    EXPECT_EQ(Checks(Env()), std::vector<bool>(KivFileCount, true));
}

TEST_F(AssocTest, TypeOwnedByAnotherProgramIsTakenOverAndGivenBack)
{
    const QByteArray editor = "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %f\n"
                              "MimeType=text/x-csrc;text/x-chdr;\n";
    ASSERT_TRUE(WriteFile(Path("system/share/applications/org.example.Editor.desktop"), editor));
    // The user's own list, with comments, other groups and CR LF lines that must survive.
    const QByteArray list = "# my defaults\r\n[Added Associations]\r\ntext/x-csrc=org.example.Editor.desktop;\r\n"
                            "\r\n[Default Applications]\r\ntext/plain=org.example.Editor.desktop;\r\n"
                            "Text/X-CSrc = org.example.Editor.desktop;\r\n\r\n[Removed Associations]\r\n";
    ASSERT_TRUE(WriteFile(MimeApps(), list));

    TKivAssoc assoc(Env());
    EXPECT_EQ(assoc.DefaultApplication("text/x-csrc"), "org.example.Editor.desktop");
    EXPECT_EQ(Checks(Env()), Only(-1));

    ASSERT_EQ(SetEntry(assoc, "C", true).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("C")));
    EXPECT_EQ(assoc.DefaultApplication("text/x-csrc"), "VYN.Kiv.C.Source.File.desktop");
    const QByteArray taken = ReadFile(MimeApps());
    EXPECT_TRUE(taken.contains("\ntext/x-csrc=VYN.Kiv.C.Source.File.desktop;org.example.Editor.desktop;\r\n"))
        << taken.toStdString();
    EXPECT_TRUE(taken.startsWith("# my defaults\r\n[Added Associations]\r\n"));
    EXPECT_EQ(ReadFile(Path("system/share/applications/org.example.Editor.desktop")), editor);

    // Giving it back leaves the other program as the default, and its entries as they were.
    ASSERT_EQ(SetEntry(assoc, "C", false).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(-1));
    EXPECT_EQ(assoc.DefaultApplication("text/x-csrc"), "org.example.Editor.desktop");
    EXPECT_EQ(QString::fromUtf8(ReadFile(MimeApps())),
              QString::fromUtf8(list).replace("Text/X-CSrc = org.example", "text/x-csrc=org.example"));
}

TEST_F(AssocTest, DefaultFollowsTheMimeAppsPrecedence)
{
    const QByteArray editor = "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %f\n";
    ASSERT_TRUE(WriteFile(Path("system/share/applications/org/example/Editor.desktop"), editor));
    ASSERT_TRUE(WriteFile(Path("system/share/applications/gone.desktop"), editor + "Hidden=true\n"));
    ASSERT_TRUE(WriteFile(Path("system/xdg/mimeapps.list"),
                          "[Default Applications]\ntext/x-chdr=org-example-Editor.desktop;\n"));
    // A higher list naming only programs that are not installed does not decide.
    ASSERT_TRUE(WriteFile(MimeApps(), "[Default Applications]\ntext/x-chdr=missing.desktop;gone.desktop;\n"));
    TKivAssoc assoc(Env());
    EXPECT_EQ(assoc.DefaultApplication("text/x-chdr"), "org-example-Editor.desktop");
    EXPECT_EQ(assoc.FindDesktopFile("org-example-Editor.desktop"),
              Path("system/share/applications/org/example/Editor.desktop"));
    EXPECT_EQ(assoc.FindDesktopFile("gone.desktop"), "");
    EXPECT_EQ(assoc.FindDesktopFile("../x.desktop"), "");

    // Registering puts ours first in the user's list, which comes before the system's.
    ASSERT_EQ(SetEntry(assoc, "H", true).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("H")));
    EXPECT_EQ(ReadFile(MimeApps()),
              "[Default Applications]\ntext/x-chdr=VYN.Kiv.Header.File.desktop;missing.desktop;gone.desktop;\n");
}

TEST_F(AssocTest, DesktopSpecificListOfTheUserIsTakenOverToo)
{
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    const QByteArray editor = "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %f\n";
    ASSERT_TRUE(WriteFile(DataHome() + "/applications/org.example.Editor.desktop", editor));
    const QByteArray kdeList = "[Default Applications]\ntext/x-chdr=org.example.Editor.desktop;\n";
    ASSERT_TRUE(WriteFile(ConfigHome() + "/kde-mimeapps.list", kdeList));

    TKivAssoc assoc(Env());
    EXPECT_EQ(Checks(Env()), Only(-1));
    ASSERT_EQ(SetEntry(assoc, "H", true).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("H")));
    ASSERT_EQ(SetEntry(assoc, "H", false).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(-1));
    EXPECT_EQ(ReadFile(ConfigHome() + "/kde-mimeapps.list"), kdeList);
    EXPECT_EQ(assoc.DefaultApplication("text/x-chdr"), "org.example.Editor.desktop");
}

TEST_F(AssocTest, OurEntryStartingAnotherInstallationShowsUncheckedUntilRetaken)
{
    const QString other = InstallProgram("old kiv/bin/kiv");
    TKivAssoc old(Env(other));
    ASSERT_EQ(SetEntry(old, "LST", true).failed, 0);
    EXPECT_EQ(Checks(Env(other)), Only(IndexOf("LST")));
    EXPECT_EQ(Checks(Env()), Only(-1));

    TKivAssoc assoc(Env());
    ASSERT_EQ(SetEntry(assoc, "LST", true).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("LST")));
    EXPECT_EQ(Checks(Env(other)), Only(-1));
}

TEST_F(AssocTest, OwnTypeMustStillBeDefined)
{
    TKivAssoc assoc(Env());
    ASSERT_EQ(SetEntry(assoc, "COD", true).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("COD")));
    QFile::remove(assoc.MimePackagePath(Entry("COD")));
    EXPECT_EQ(Checks(Env()), Only(-1));
    // Checking it again defines the type again.
    ASSERT_EQ(SetEntry(assoc, "COD", true).failed, 0);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("COD")));
}

TEST_F(AssocTest, ConfirmingWithoutChangesWritesNothing)
{
    TKivAssoc assoc(Env());
    assoc.Fill();
    assoc.SetChecked(IndexOf("PJT"), true);
    assoc.SetChecked(IndexOf("C"), true);
    ASSERT_EQ(assoc.Apply().failed, 0);

    TAssocEnvironment env = Env();
    env.refreshDatabases = true;   // a refresh would write the caches
    TKivAssoc again(env);
    const auto before = Snapshot();
    QThread::msleep(20);   // so a rewrite would show in the time stamps as well
    again.Fill();
    // Checks toggled and toggled back count as unchanged.
    again.SetChecked(IndexOf("C"), false);
    again.SetChecked(IndexOf("C"), true);
    again.SetChecked(IndexOf("HEX"), true);
    again.SetChecked(IndexOf("HEX"), false);
    const TAssocApplyResult result = again.Apply();
    EXPECT_EQ(result.changed, 0);
    EXPECT_FALSE(result.refreshed);
    EXPECT_EQ(Snapshot(), before);

    // Cancel drops changed checks without writing.
    again.SetChecked(IndexOf("PJT"), false);
    again.Cancel();
    EXPECT_TRUE(again.Checked(IndexOf("PJT")));
    EXPECT_EQ(again.Apply().changed, 0);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(AssocTest, FailuresChangeNothingAndShowUnchecked)
{
    struct Case {
        const char *name;
        const char *extension;
        std::function<void(const QString &dataHome, const QString &configHome)> breakIt;
    };
    const Case cases[] = {
        {"mimeapps.list is a folder", "C",
         [](const QString &, const QString &config) { QDir().mkpath(config + "/mimeapps.list"); }},
        {"mimeapps.list is not text", "LST",
         [](const QString &, const QString &config) { WriteFile(config + "/mimeapps.list", QByteArray("[Default Applications]\n\0\x01\xff", 26)); }},
        {"config folder is a file (rolled back after the entry was written)", "PJT",
         [](const QString &, const QString &config) { WriteFile(config, "not a folder"); }},
        {"MIME folder is a file", "SYM",
         [](const QString &data, const QString &) { WriteFile(data + "/mime", "not a folder"); }},
        {"applications folder is a file", "H",
         [](const QString &data, const QString &) { WriteFile(data + "/applications", "not a folder"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(Path("home")).removeRecursively();
        QDir().mkpath(Path("home"));
        c.breakIt(DataHome(), ConfigHome());
        const auto before = Snapshot();

        TKivAssoc assoc(Env());
        assoc.Fill();
        assoc.SetChecked(IndexOf(c.extension), true);
        const TAssocApplyResult result = assoc.Apply();
        EXPECT_EQ(result.changed, 1);
        EXPECT_EQ(result.failed, 1);
        EXPECT_FALSE(assoc.Checked(IndexOf(c.extension)));
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(Checks(Env()), Only(-1));
    }
}

TEST_F(AssocTest, FailedUnregisterLeavesTheEntryRegistered)
{
    TKivAssoc assoc(Env());
    ASSERT_EQ(SetEntry(assoc, "TRE", true).failed, 0);
    // A list of the user's that cannot be read: removing our default from it cannot be done.
    QDir().mkpath(DataHome() + "/applications/mimeapps.list");
    const auto before = Snapshot();
    const TAssocApplyResult result = SetEntry(assoc, "TRE", false);
    EXPECT_EQ(result.failed, 1);
    EXPECT_TRUE(assoc.Checked(IndexOf("TRE")));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Checks(Env()), Only(IndexOf("TRE")));
}

TEST_F(AssocTest, WithoutHomeNothingIsWritten)
{
    TAssocEnvironment env = Env();
    env.dataHome.clear();
    env.configHome.clear();
    TKivAssoc assoc(env);
    const auto before = Snapshot();
    const TAssocApplyResult result = SetEntry(assoc, "C", true);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(Snapshot(), before);
}

// The files we write are read by the desktop's own tools as we mean them.
class AssocDesktopTools : public AssocTest {
protected:
    static QString Tool(const char *name)
    {
        return QStandardPaths::findExecutable(QString::fromLatin1(name));
    }

    QString Run(const QString &program, const QStringList &args, int *exitCode = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, args);
        process.waitForFinished(60000);
        if (exitCode)
            *exitCode = process.exitCode();
        return QString::fromUtf8(process.readAll());
    }
};

TEST_F(AssocDesktopTools, DesktopEntriesAreValid)
{
    const QString validate = Tool("desktop-file-validate");
    if (validate.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/setup.sh installs desktop-file-utils)";
    const QString exe = InstallProgram("KIV IDE/it's $100% back\\slash/bin/kiv");
    TKivAssoc assoc(Env(exe));
    assoc.Fill();
    for (int i = 0; i < KivFileCount; ++i)
        assoc.SetChecked(i, true);
    ASSERT_EQ(assoc.Apply().failed, 0);
    EXPECT_EQ(Checks(Env(exe)), std::vector<bool>(KivFileCount, true));
    for (const TKivFile &file : g_KivFiles) {
        int code = -1;
        const QString out = Run(validate, {assoc.DesktopFilePath(file)}, &code);
        EXPECT_EQ(code, 0) << file.extension << ": " << out.toStdString();
        EXPECT_EQ(out.trimmed(), "") << file.extension;
    }
}

TEST_F(AssocDesktopTools, DatabasesAreRefreshedAfterAChange)
{
    const QString mimeTool = Tool("update-mime-database");
    const QString desktopTool = Tool("update-desktop-database");
    if (mimeTool.isEmpty() || desktopTool.isEmpty())
        GTEST_SKIP() << "update-mime-database / update-desktop-database are not installed";
    TAssocEnvironment env = Env();
    env.refreshDatabases = true;
    TKivAssoc assoc(env);
    assoc.Fill();
    assoc.SetChecked(IndexOf("PJT"), true);
    assoc.SetChecked(IndexOf("C"), true);
    const TAssocApplyResult result = assoc.Apply();
    EXPECT_EQ(result.failed, 0);
    EXPECT_TRUE(result.refreshed);
    EXPECT_TRUE(QFileInfo::exists(DataHome() + "/mime/mime.cache"));
    EXPECT_TRUE(ReadFile(DataHome() + "/mime/globs2").contains("application/x-kiv-project:*.pjt"));
    EXPECT_TRUE(QFileInfo::exists(DataHome() + "/mime/application/x-kiv-project.xml"));
    const QByteArray cache = ReadFile(DataHome() + "/applications/mimeinfo.cache");
    EXPECT_TRUE(cache.contains("text/x-csrc=VYN.Kiv.C.Source.File.desktop;")) << cache.toStdString();
    EXPECT_TRUE(cache.contains("application/x-kiv-project=VYN.Kiv.Project.desktop;")) << cache.toStdString();

    // Unregistering the last own type refreshes the MIME database without it.
    assoc.SetChecked(IndexOf("PJT"), false);
    EXPECT_TRUE(assoc.Apply().refreshed);
    EXPECT_FALSE(ReadFile(DataHome() + "/mime/globs2").contains("x-kiv-project"));
    EXPECT_FALSE(ReadFile(DataHome() + "/applications/mimeinfo.cache").contains("VYN.Kiv.Project"));
}

// Opening a file from the desktop starts this program with the file, also when the program's
// path contains blanks and other characters the command line must quote.
TEST_F(AssocDesktopTools, OpeningAFileStartsTheProgram)
{
    const QString gio = Tool("gio");
    if (gio.isEmpty() || Tool("update-mime-database").isEmpty())
        GTEST_SKIP() << "gio / update-mime-database are not installed";
    // The system's shared MIME database knows text/x-csrc; our own types come from the home.
    if (!QFileInfo::exists("/usr/share/mime/mime.cache"))
        GTEST_SKIP() << "no shared MIME database in /usr/share/mime";
    qputenv("XDG_DATA_DIRS", (Path("system/share") + ":/usr/share").toLocal8Bit());

    struct Case {
        const char *program;
        const char *document;
    };
    const Case cases[] = {
        {"KIV IDE/bin/kiv", "sources/main file.c"},
        // No "%": GLib looks for the program before it turns "%%" back into "%".
        {"it's $HOME (new)/bin/kiv", "out/PROG.LST"},
        {"plain/bin/kiv", "proj/My Project.pjt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program);
        const QString exe = InstallProgram(c.program);
        const QString document = Path(c.document);
        ASSERT_TRUE(WriteFile(document, "text\n"));
        TAssocEnvironment env = TAssocEnvironment::ForExecutable(exe, Path("inst/icons/"));
        TKivAssoc assoc(env);
        assoc.Fill();
        for (int i = 0; i < KivFileCount; ++i)
            assoc.SetChecked(i, true);
        ASSERT_EQ(assoc.Apply().failed, 0);

        const QString opened = QFileInfo(exe).absolutePath() + "/opened.txt";
        int code = -1;
        const QString out = Run(gio, {"open", document}, &code);
        ASSERT_EQ(code, 0) << out.toStdString();
        // gio starts the program and does not wait for it.
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(opened) && waited.elapsed() < 20000)
            QThread::msleep(20);
        QThread::msleep(50);
        EXPECT_EQ(QString::fromUtf8(ReadFile(opened)), document + "\n");
    }
}
