// How the office of a run is started: its profile, its pipe and its arguments; and what Load Show
// says when no office of ours can be reached (stand-ins for soffice, no office needed).
#include "show/impress/OfficeProcess.h"

#include "show/impress/ImpressApplication.h"

#include <csignal>
#include <grp.h>
#include <gtest/gtest.h>
#include <iostream>
#include <pwd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using show::impress::OfficeProcess;

namespace {

int mode(const QString& path) {
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

TEST(OfficeProcess, KeepsARandomPipeNameWhereOnlyTheUserCanReadIt) {
    QTemporaryDir dir;
    OfficeProcess office(dir.path() + QStringLiteral("/profile"));
    const QString name = office.pipeName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^quenvar-[0-9a-f]{32}$")).match(name).hasMatch())
        << name.toStdString();
    EXPECT_EQ(mode(office.profileDir()), 0700);
    const QString file = office.profileDir() + QStringLiteral("/quenvar-pipe");
    EXPECT_EQ(mode(file), 0600);
    // A later run finds the office on the same pipe; another profile has a pipe of its own.
    EXPECT_EQ(OfficeProcess(office.profileDir()).pipeName(), name);
    EXPECT_NE(OfficeProcess(dir.path() + QStringLiteral("/other")).pipeName(), name);
    EXPECT_EQ(office.socketPath(), QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(getuid()).arg(name));
    EXPECT_TRUE(office.unoUrl().startsWith(QStringLiteral("uno:pipe,name=") + name + ';'));
    EXPECT_TRUE(office.unoUrl().endsWith(QLatin1String(";urp;StarOffice.ComponentContext")));

    office.renewPipeName();
    EXPECT_NE(office.pipeName(), name);
    EXPECT_EQ(OfficeProcess(office.profileDir()).pipeName(), office.pipeName());
    // A name others could have read or written is not trusted.
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    EXPECT_NE(OfficeProcess(office.profileDir()).pipeName(), office.pipeName());
}

TEST(OfficeProcess, StartsTheOfficeOnItsProfileListeningOnThePipeWithoutDialogs) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path() + QStringLiteral("/a b/profile"));
    const QStringList arguments = office.arguments();
    ASSERT_FALSE(arguments.isEmpty());
    const QString profile = arguments.first();
    ASSERT_TRUE(profile.startsWith(QLatin1String("-env:UserInstallation=")));
    EXPECT_EQ(QUrl(profile.mid(22)).toLocalFile(), office.profileDir());
    EXPECT_FALSE(profile.contains(' ')) << "a blank would split the office's argument";
    EXPECT_TRUE(
        arguments.contains(QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext")
                               .arg(office.pipeName())));
    for (const char* flag : {"--norestore", "--nologo", "--nodefault"})
        EXPECT_TRUE(arguments.contains(QLatin1String(flag))) << flag;
}

TEST(OfficeProcess, RunsTheOfficeOnPlainX11UnlessTheUserChoseAWindowSystem) {
    QProcessEnvironment base;
    base.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
    QProcessEnvironment office = OfficeProcess::environment(base);
    EXPECT_EQ(office.value(QStringLiteral("SAL_USE_VCLPLUGIN")), QStringLiteral("gen"));
    EXPECT_EQ(office.value(QStringLiteral("DISPLAY")), QStringLiteral(":0"));
    base.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("gtk3"));
    office = OfficeProcess::environment(base);
    EXPECT_EQ(office.value(QStringLiteral("SAL_USE_VCLPLUGIN")), QStringLiteral("gtk3"));
}

TEST(OfficeProcess, KeepsItsProfileUnderTheUsersCacheFolder) {
    QTemporaryDir cache;
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    const OfficeProcess office;
    qputenv("XDG_CACHE_HOME", saved);
    EXPECT_TRUE(office.profileDir().startsWith(cache.path() + QStringLiteral("/quenvar/")));
    // Private, even where an earlier version left them open.
    QDir().mkpath(office.profileDir());
    chmod(QFile::encodeName(cache.path() + QStringLiteral("/quenvar")).constData(), 0755);
    office.prepareProfile();
    EXPECT_EQ(mode(cache.path() + QStringLiteral("/quenvar")), 0700);
    EXPECT_EQ(mode(office.profileDir()), 0700);
}

TEST(OfficeProcess, SeedsTheProfileWithoutUndoingTheOfficesOwnSettings) {
    QTemporaryDir dir;
    const OfficeProcess office(dir.path());
    const QString file = dir.path() + QStringLiteral("/user/registrymodifications.xcu");

    office.prepareProfile();
    QFile seeded(file);
    ASSERT_TRUE(seeded.open(QIODevice::ReadOnly));
    const QByteArray xml = seeded.readAll();
    seeded.close();
    QXmlStreamReader reader(xml);
    bool presenterOff = false;
    QString prop;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("prop"))
            prop = reader.attributes().value(QLatin1String("oor:name")).toString();
        if (reader.isStartElement() && reader.name() == QLatin1String("value") &&
            prop == QLatin1String("EnablePresenterScreen"))
            presenterOff = reader.readElementText() == QLatin1String("false");
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_TRUE(presenterOff);

    // The office rewrites the file with its own settings beside ours: it is left as it is.
    QFile rewritten(file);
    ASSERT_TRUE(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray officeOwn = xml + "<!-- the office's own settings -->";
    rewritten.write(officeOwn);
    rewritten.close();
    office.prepareProfile();
    ASSERT_TRUE(rewritten.open(QIODevice::ReadOnly));
    EXPECT_EQ(rewritten.readAll(), officeOwn);
    rewritten.close();

    // A file that lost the presenter setting gets it back.
    ASSERT_TRUE(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate));
    rewritten.write("<oor:items/>");
    rewritten.close();
    office.prepareProfile();
    ASSERT_TRUE(rewritten.open(QIODevice::ReadOnly));
    EXPECT_TRUE(rewritten.readAll().contains("EnablePresenterScreen"));
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

    office.kill();
    EXPECT_TRUE(mine->waitForFinished(5000));
    EXPECT_EQ(mine->exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(lock.exists());
    EXPECT_FALSE(others->waitForFinished(300));
    others->kill();
    others->waitForFinished();
}

// Listens on path as the user nobody, until killed: another local user who made the pipe first.
pid_t squat(const QByteArray& path) {
    const passwd* nobody = getpwnam("nobody");
    if (!nobody)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        // Only system calls from here on: the parent has threads.
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        memcpy(address.sun_path, path.constData(), size_t(path.size()));
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 ||
            bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd, 4) != 0)
            _exit(1);
        (void)!write(ready[1], "r", 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char byte = 0;
    const bool listening = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (!listening && pid > 0) {
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

// Load Show's connection when no office of ours answers: a missing soffice and one that ends at
// once are reported at once, and another user's listener on the pipe gets nothing.
TEST(OfficeConnection, RefusesAnotherUsersPipeAndReportsAnOfficeThatCannotStart) {
    QTemporaryDir cache;
    QTemporaryDir bin;
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable(QStringLiteral("setsid")),
                            bin.path() + QStringLiteral("/setsid")));
    const QByteArray savedPath = qgetenv("PATH");
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("PATH", bin.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    auto connectFailure = [] {
        try {
            show::impress::createImpressApplication();
        } catch (const platform::Failure& failure) {
            return failure;
        }
        return platform::Failure({}, QStringLiteral("connected"));
    };

    platform::Failure missing = connectFailure();
    EXPECT_EQ(missing.source(), QStringLiteral("Quenvar"));
    EXPECT_TRUE(missing.description().contains(QLatin1String("Is LibreOffice Impress installed?")))
        << missing.message().toStdString();

    // A stand-in that ends at once, as an office does that cannot open its display.
    const QString started = bin.path() + QStringLiteral("/started");
    QFile stand(bin.path() + QStringLiteral("/soffice"));
    ASSERT_TRUE(stand.open(QIODevice::WriteOnly));
    stand.write("#!/bin/sh\n: > '" + started.toLocal8Bit() + "'\nexit 1\n");
    stand.close();
    stand.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (getuid() == 0) {
        // The worst case: the other user knows the name, here read by root from the private file.
        const OfficeProcess office;
        const QString name = office.pipeName();
        const QByteArray path = QFile::encodeName(office.socketPath());
        const pid_t squatter = squat(path);
        ASSERT_GT(squatter, 0) << "no squatter as nobody";
        const platform::Failure refused = connectFailure();
        kill(squatter, SIGKILL);
        waitpid(squatter, nullptr, 0);
        unlink(path.constData());
        EXPECT_EQ(refused.source(), QStringLiteral("Quenvar"));
        EXPECT_TRUE(refused.description().startsWith(
            QStringLiteral("Another user (nobody) holds %1,").arg(QString::fromLocal8Bit(path))))
            << refused.message().toStdString();
        EXPECT_FALSE(QFile::exists(started)) << "an office was started beside the squatter";
        // The next Load Show uses a pipe nobody else knows.
        EXPECT_NE(OfficeProcess().pipeName(), name);
    }

    QElapsedTimer clock;
    clock.start();
    const platform::Failure died = connectFailure();
    const qint64 reported = clock.elapsed();
    qputenv("PATH", savedPath);
    qputenv("XDG_CACHE_HOME", savedCache);
    EXPECT_TRUE(QFile::exists(started));
    EXPECT_EQ(died.source(), QStringLiteral("LibreOffice Impress"));
    EXPECT_TRUE(died.description().contains(QLatin1String("closed while it was starting")))
        << died.message().toStdString();
    EXPECT_LT(reported, 5000);
    std::cout << "[ figures  ] an office that ended while starting was reported after " << reported
              << " ms\n";
}

} // namespace
