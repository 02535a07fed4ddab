// How the office of a run is started: its private profile and pipe, its arguments, putting it
// down; and what Load Show says when no office of ours can be reached (stand-ins, no office).
#include "show/impress/OfficeProcess.h"

#include "show/impress/ImpressApplication.h"
#include "Squatter.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

using show::impress::OfficeProcess;

namespace {

int mode(const QString& path) {
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

TEST(OfficeProcess, KeepsItsProfileAndPipeNameWhereOnlyTheUserCanReachThem) {
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit()); // each test runs in a process of its own
    OfficeProcess office;
    // Private, even where an earlier version left the folder open.
    QDir().mkpath(office.profileDir());
    chmod(QFile::encodeName(cache.path() + "/quenvar").constData(), 0755);
    const QString name = office.pipeName();
    const QString file = office.profileDir() + QStringLiteral("/quenvar-pipe");
    EXPECT_EQ(mode(cache.path() + "/quenvar"), 0700);
    EXPECT_EQ(mode(office.profileDir()), 0700);
    EXPECT_EQ(mode(file), 0600);
    // A later run finds the office on the same pipe; a name others could have written is not
    // trusted.
    EXPECT_EQ(OfficeProcess().pipeName(), name);
    EXPECT_EQ(office.socketPath(), QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(getuid()).arg(name));
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    EXPECT_NE(OfficeProcess().pipeName(), name);
}

TEST(OfficeProcess, StartsTheOfficeOnItsOwnProfileWithoutDialogsOnPlainX11) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path() + QStringLiteral("/a b"));
    const QStringList arguments = office.arguments();
    EXPECT_EQ(QUrl(arguments.value(0).mid(22)).toLocalFile(), office.profileDir());
    EXPECT_FALSE(arguments.value(0).contains(' ')) << "a blank would split the argument";
    for (const char* flag : {"--norestore", "--nologo", "--nodefault"})
        EXPECT_TRUE(arguments.contains(QLatin1String(flag))) << flag;
    QProcessEnvironment user;
    EXPECT_EQ(OfficeProcess::environment(user).value("SAL_USE_VCLPLUGIN"), QStringLiteral("gen"));
    user.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("gtk3"));
    EXPECT_EQ(OfficeProcess::environment(user).value("SAL_USE_VCLPLUGIN"), QStringLiteral("gtk3"));

    // The presenter console off, without undoing the office's own settings in the same file.
    QFile file(office.profileDir() + QStringLiteral("/user/registrymodifications.xcu"));
    auto seeded = [&](const QByteArray& before) {
        if (!before.isNull() && file.open(QIODevice::WriteOnly))
            file.write(before);
        file.close();
        office.prepareProfile();
        file.open(QIODevice::ReadOnly);
        const QByteArray after = file.readAll();
        file.close();
        return after;
    };
    const QByteArray fresh = seeded({});
    EXPECT_TRUE(fresh.contains("<prop oor:name=\"EnablePresenterScreen\" oor:op=\"fuse\"><value>"
                               "false</value></prop>"));
    const QByteArray own = QByteArray(fresh).replace("</oor:items>", "<!-- ours -->\n</oor:items>");
    EXPECT_EQ(seeded(own), own);
    EXPECT_EQ(seeded(fresh.left(fresh.size() - 20) + "<!-- ours -->"), fresh) << "cut short";
    EXPECT_TRUE(seeded("<oor:items/>").contains("EnablePresenterScreen"));
}

TEST(OfficeProcess, PutsDownTheOfficeOfItsProfileOnly) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path() + QStringLiteral("/mine"));
    // Stand-ins for soffice.bin, each carrying its profile argument. Two commands, so that bash
    // cannot hand its process over to sleep and lose the argument.
    auto standIn = [&dir](const QString& profile) {
        auto process = std::make_unique<QProcess>();
        process->start("bash", {"-c", "sleep 30; exit 0", OfficeProcess(profile).arguments()[0]});
        EXPECT_TRUE(process->waitForStarted());
        return process;
    };
    auto mine = standIn(office.profileDir());
    auto others = standIn(dir.path() + QStringLiteral("/other"));
    QFile lock(office.profileDir() + QStringLiteral("/.lock"));
    QDir().mkpath(office.profileDir());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    EXPECT_TRUE(office.running());
    office.kill();
    EXPECT_TRUE(mine->waitForFinished(5000));
    EXPECT_FALSE(office.running());
    EXPECT_FALSE(lock.exists());
    EXPECT_FALSE(others->waitForFinished(300));
    others->kill();
    others->waitForFinished();
}

// Load Show's connection when no office of ours answers: a missing soffice and one that ends at
// once are reported at once, and another user's listener on the pipe gets nothing.
TEST(OfficeConnection, RefusesAnotherUsersPipeAndReportsAnOfficeThatCannotStart) {
    QTemporaryDir cache;
    QTemporaryDir bin;
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable("setsid"), bin.path() + "/setsid"));
    qputenv("PATH", bin.path().toLocal8Bit()); // each test runs in a process of its own
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    auto connectFailure = [] {
        try {
            show::impress::createImpressApplication();
        } catch (const platform::Failure& failure) {
            return failure.message();
        }
        return QStringLiteral("connected");
    };
    EXPECT_EQ(connectFailure(), QStringLiteral("Quenvar soffice could not be started. Is "
                                               "LibreOffice Impress installed?"));
    // A stand-in that ends at once, as an office does that cannot open its display.
    const QString started = bin.path() + QStringLiteral("/started");
    QFile standIn(bin.path() + QStringLiteral("/soffice"));
    ASSERT_TRUE(standIn.open(QIODevice::WriteOnly));
    standIn.write("#!/bin/sh\n: > '" + started.toLocal8Bit() + "'\nexit 1\n");
    standIn.close();
    standIn.setPermissions(QFile::ReadOwner | QFile::ExeOwner);

    if (getuid() == 0) {
        // The worst case: the user nobody listens on the pipe, its name read here by root.
        const QString name = OfficeProcess().pipeName();
        const QString socket = OfficeProcess().socketPath();
        e2e::Squatter squatter(socket);
        ASSERT_TRUE(squatter.listening) << "no squatter as nobody";
        const QString refused = connectFailure();
        QFile::remove(socket);
        EXPECT_TRUE(refused.startsWith(
            QStringLiteral("Quenvar Another user (nobody) holds %1,").arg(socket)));
        EXPECT_FALSE(QFile::exists(started)) << "an office was started beside the squatter";
        EXPECT_NE(OfficeProcess().pipeName(), name);
    }
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(connectFailure().startsWith(
        QStringLiteral("LibreOffice Impress LibreOffice Impress closed while it was starting.")));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(QFile::exists(started));

    if (getuid() == 0) {
        // While an office starts, its warm-up asks the new pipe again and again: another user
        // who takes the name then gets nothing either.
        ASSERT_TRUE(standIn.open(QIODevice::WriteOnly | QIODevice::Truncate));
        standIn.write("#!/bin/sh\nsleep 5\n");
        standIn.close();
        show::impress::prepareImpress();
        const QString socket = OfficeProcess().socketPath();
        e2e::Squatter squatter(socket);
        QThread::msleep(500);
        EXPECT_EQ(squatter.received(), 0);
        QFile::remove(socket);
    }
}

} // namespace
