// How the office of a run is started: its private profile and pipe, its arguments, putting it
// down; and what Load Show says when no office of ours can be reached (stand-ins, no office).
#include "show/impress/OfficeProcess.h"

#include "show/impress/ImpressApplication.h"

#include <gtest/gtest.h>
#include <iostream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

using show::impress::OfficeProcess;

namespace {

int mode(const QString& path) {
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Sets an environment variable while it lives.
struct ScopedVariable {
    ScopedVariable(const char* name, const QString& value) : name(name), saved(qgetenv(name)) {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedVariable() { qputenv(name, saved); }
    const char* name;
    QByteArray saved;
};

TEST(OfficeProcess, KeepsItsProfileAndPipeNameWhereOnlyTheUserCanReachThem) {
    QTemporaryDir cache;
    const ScopedVariable cacheHome("XDG_CACHE_HOME", cache.path());
    const QString own = cache.path() + QStringLiteral("/quenvar");
    OfficeProcess office;
    EXPECT_EQ(office.profileDir(), own + QStringLiteral("/office-profile"));
    // Private, even where an earlier version left the folder open.
    QDir().mkpath(office.profileDir());
    chmod(QFile::encodeName(own).constData(), 0755);
    const QString name = office.pipeName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^quenvar-[0-9a-f]{32}$")).match(name).hasMatch())
        << name.toStdString();
    const QString file = office.profileDir() + QStringLiteral("/quenvar-pipe");
    EXPECT_EQ(mode(own), 0700);
    EXPECT_EQ(mode(office.profileDir()), 0700);
    EXPECT_EQ(mode(file), 0600);
    // A later run finds the office on the same pipe, where the office's runtime makes it.
    EXPECT_EQ(OfficeProcess().pipeName(), name);
    EXPECT_EQ(office.socketPath(), QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(getuid()).arg(name));

    office.renewPipeName();
    EXPECT_NE(office.pipeName(), name);
    EXPECT_EQ(OfficeProcess().pipeName(), office.pipeName());
    // A name others could have read or written is not trusted.
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    EXPECT_NE(OfficeProcess().pipeName(), office.pipeName());
}

TEST(OfficeProcess, StartsTheOfficeOnItsProfileWithoutDialogs) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path() + QStringLiteral("/a b/profile"));
    const QStringList arguments = office.arguments();
    const QString profile = arguments.value(0);
    ASSERT_TRUE(profile.startsWith(QLatin1String("-env:UserInstallation=")));
    EXPECT_EQ(QUrl(profile.mid(22)).toLocalFile(), office.profileDir());
    EXPECT_FALSE(profile.contains(' ')) << "a blank would split the office's argument";
    for (const char* flag : {"--norestore", "--nologo", "--nodefault"})
        EXPECT_TRUE(arguments.contains(QLatin1String(flag))) << flag;
}

TEST(OfficeProcess, RunsTheOfficeOnPlainX11UnlessTheUserChoseAWindowSystem) {
    QProcessEnvironment base;
    QProcessEnvironment office = OfficeProcess::environment(base);
    EXPECT_EQ(office.value(QStringLiteral("SAL_USE_VCLPLUGIN")), QStringLiteral("gen"));
    base.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("gtk3"));
    office = OfficeProcess::environment(base);
    EXPECT_EQ(office.value(QStringLiteral("SAL_USE_VCLPLUGIN")), QStringLiteral("gtk3"));
}

TEST(OfficeProcess, SeedsTheProfileWithoutUndoingTheOfficesOwnSettings) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path());
    QFile file(dir.path() + QStringLiteral("/user/registrymodifications.xcu"));
    auto contents = [&file] {
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray result = file.readAll();
        file.close();
        return result;
    };
    auto write = [&file](const QByteArray& text) {
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
    };
    office.prepareProfile();
    const QByteArray seeded = contents();
    EXPECT_TRUE(seeded.contains("<prop oor:name=\"EnablePresenterScreen\" oor:op=\"fuse\"><value>"
                                "false</value></prop>"));
    // The office rewrites the file with its own settings beside ours: it is left as it is.
    write(seeded + "<!-- the office's own settings -->");
    office.prepareProfile();
    EXPECT_TRUE(contents().endsWith("<!-- the office's own settings -->"));
    // A file that lost the presenter setting gets it back.
    write("<oor:items/>");
    office.prepareProfile();
    EXPECT_TRUE(contents().contains("EnablePresenterScreen"));
}

TEST(OfficeProcess, PutsDownTheHungOfficeOfItsProfileOnly) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path() + QStringLiteral("/mine"));
    const OfficeProcess other(dir.path() + QStringLiteral("/other"));
    // Stand-ins for soffice.bin, which runs on after its launcher ended: each carries its
    // profile argument, as the office does. Two commands, so that bash cannot hand its process over
    // to sleep and lose the argument.
    auto standIn = [](const OfficeProcess& profile) {
        auto process = std::make_unique<QProcess>();
        process->start(QStringLiteral("bash"),
                       {QStringLiteral("-c"), QStringLiteral("sleep 30; exit 0"),
                        profile.arguments().first()});
        EXPECT_TRUE(process->waitForStarted());
        return process;
    };
    auto mine = standIn(office);
    auto others = standIn(other);
    QFile lock(office.profileDir() + QStringLiteral("/.lock"));
    QDir().mkpath(office.profileDir());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();

    EXPECT_TRUE(office.running());
    office.kill();
    EXPECT_TRUE(mine->waitForFinished(5000));
    EXPECT_EQ(mine->exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(office.running());
    EXPECT_FALSE(lock.exists());
    EXPECT_FALSE(others->waitForFinished(300));
    others->kill();
    others->waitForFinished();
}

// Listens on path as the user nobody: another local user who made the pipe first.
std::unique_ptr<QProcess> squat(const QString& path) {
    auto squatter = std::make_unique<QProcess>();
    squatter->start(QStringLiteral("/usr/bin/setpriv"),
                    {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                     QStringLiteral("--clear-groups"), QStringLiteral("/usr/bin/python3"),
                     QStringLiteral("-c"),
                     QStringLiteral("import socket, sys, time\ns = socket.socket(socket.AF_UNIX)\n"
                                    "s.bind(sys.argv[1])\ns.listen()\nprint(flush=True)\n"
                                    "time.sleep(60)"),
                     path});
    squatter->waitForReadyRead(10000);
    return squatter;
}

// Load Show's connection when no office of ours answers: a missing soffice and one that ends at
// once are reported at once, and another user's listener on the pipe gets nothing.
TEST(OfficeConnection, RefusesAnotherUsersPipeAndReportsAnOfficeThatCannotStart) {
    QTemporaryDir cache;
    QTemporaryDir bin;
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable(QStringLiteral("setsid")),
                            bin.path() + QStringLiteral("/setsid")));
    const ScopedVariable path("PATH", bin.path());
    const ScopedVariable cacheHome("XDG_CACHE_HOME", cache.path());
    auto connectFailure = [] {
        try {
            show::impress::createImpressApplication();
        } catch (const platform::Failure& failure) {
            return failure;
        }
        return platform::Failure({}, QStringLiteral("connected"));
    };
    EXPECT_EQ(connectFailure().message(),
              QStringLiteral("Quenvar soffice could not be started. Is LibreOffice Impress "
                             "installed?"));

    // A stand-in that ends at once, as an office does that cannot open its display.
    const QString started = bin.path() + QStringLiteral("/started");
    QFile standIn(bin.path() + QStringLiteral("/soffice"));
    ASSERT_TRUE(standIn.open(QIODevice::WriteOnly));
    standIn.write("#!/bin/sh\n: > '" + started.toLocal8Bit() + "'\nexit 1\n");
    standIn.close();
    standIn.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (getuid() == 0) {
        // The worst case: the other user knows the name, here read by root from the private file.
        const QString name = OfficeProcess().pipeName();
        const QString socket = OfficeProcess().socketPath();
        const auto squatter = squat(socket);
        ASSERT_EQ(squatter->state(), QProcess::Running) << "no squatter as nobody";
        const platform::Failure refused = connectFailure();
        squatter->kill();
        squatter->waitForFinished();
        QFile::remove(socket);
        EXPECT_TRUE(refused.message().startsWith(
            QStringLiteral("Quenvar Another user (nobody) holds %1,").arg(socket)))
            << refused.message().toStdString();
        EXPECT_FALSE(QFile::exists(started)) << "an office was started beside the squatter";
        // The next Load Show uses a pipe nobody else knows.
        EXPECT_NE(OfficeProcess().pipeName(), name);
    }

    QElapsedTimer clock;
    clock.start();
    const platform::Failure died = connectFailure();
    const qint64 reported = clock.elapsed();
    EXPECT_TRUE(QFile::exists(started));
    EXPECT_TRUE(died.message().startsWith(
        QStringLiteral("LibreOffice Impress LibreOffice Impress closed while it was starting.")))
        << died.message().toStdString();
    EXPECT_LT(reported, 5000);
    std::cout << "[ figures  ] an office that ended while starting was reported after " << reported
              << " ms\n";
}

} // namespace
