// How the office of a run is started: its profile, its pipe and its arguments.
#include "show/impress/OfficeProcess.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <unistd.h>

using show::impress::OfficeProcess;

namespace {

QString userName() {
    return QString::fromLocal8Bit(getpwuid(getuid())->pw_name);
}

TEST(OfficeProcess, NamesOnePipePerUserAndProfile) {
    const OfficeProcess a(QStringLiteral("/tmp/a b/profile"));
    const OfficeProcess sameA(QStringLiteral("/tmp/a b/profile/"));
    const OfficeProcess b(QStringLiteral("/tmp/b/profile"));
    EXPECT_TRUE(a.pipeName().contains(userName()));
    EXPECT_EQ(a.pipeName(), sameA.pipeName());
    EXPECT_NE(a.pipeName(), b.pipeName());
    for (QChar c : a.pipeName())
        EXPECT_TRUE(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'));
    EXPECT_TRUE(a.unoUrl().startsWith(QStringLiteral("uno:pipe,name=") + a.pipeName() + ';'));
    EXPECT_TRUE(a.unoUrl().endsWith(QLatin1String(";urp;StarOffice.ComponentContext")));
}

TEST(OfficeProcess, StartsTheOfficeOnItsProfileListeningOnThePipeWithoutDialogs) {
    const OfficeProcess office(QStringLiteral("/tmp/a b/profile"));
    const QStringList arguments = office.arguments();
    ASSERT_FALSE(arguments.isEmpty());
    const QString profile = arguments.first();
    ASSERT_TRUE(profile.startsWith(QLatin1String("-env:UserInstallation=")));
    EXPECT_EQ(QUrl(profile.mid(22)).toLocalFile(), QStringLiteral("/tmp/a b/profile"));
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

TEST(OfficeProcess, ReportsAMissingOfficeAtOnce) {
    // A PATH with setsid but no soffice.
    QTemporaryDir bin;
    ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable(QStringLiteral("setsid")),
                            bin.path() + QStringLiteral("/setsid")));
    const QByteArray saved = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    QTemporaryDir profile;
    QString reason;
    const bool started = OfficeProcess(profile.path()).start(&reason);
    qputenv("PATH", saved);
    EXPECT_FALSE(started);
    EXPECT_TRUE(reason.contains(QLatin1String("Is LibreOffice Impress installed?")))
        << reason.toStdString();
}

TEST(OfficeProcess, KeepsItsProfileUnderTheUsersCacheFolder) {
    QTemporaryDir cache;
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    const OfficeProcess office;
    qputenv("XDG_CACHE_HOME", saved);
    EXPECT_TRUE(office.profileDir().startsWith(cache.path() + QStringLiteral("/quenvar/")));
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

} // namespace
