// Quenvar started as a kiosk starts it: the installed program's command line, watched from the X
// server's pixels. A deck and a timer given at start come up as the first slide, with no editor or
// white first, run by themselves and come back, on the same slide, when the office is killed, with
// black and never the desktop between; --display fills the display it names; a bad option ends at
// once with its line; started without a deck, Quenvar restarts nothing, until a later Quenvar hands
// it one, whose office is replaced once it stops answering. The desktop is painted grey here, so
// that it can be told from black.
#include "tests/e2e/XScreen.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <unistd.h>

namespace {

using namespace e2e;

const QColor kDesktop(0x80, 0x80, 0x80);

// One run of the program, with a home of its own; ended, with its office, when the test ends.
class Quenvar {
public:
    explicit Quenvar(const QStringList& arguments, const QStringList& environment = {}) {
        const QString home = deck(QStringLiteral("home-%1").arg(++s_runs));
        QDir().mkpath(home);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        // Where a desktop session keeps the socket that makes one Quenvar of two.
        const QString runtime = deck(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        for (const QString& each : environment)
            env.insert(each.section(QLatin1Char('='), 0, 0), each.section(QLatin1Char('='), 1));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(QUENVAR_PROGRAM), arguments);
        m_process.waitForStarted();
    }
    ~Quenvar() {
        m_process.kill();
        m_process.waitForFinished();
        if (testing::Test::HasFailure())
            std::fputs(m_process.readAllStandardError().constData(), stderr);
        signalOffice(SIGKILL);
    }
    QProcess& process() { return m_process; }

private:
    static inline int s_runs = 0;
    QProcess m_process;
};

void paintDesktop() {
    QProcess::execute(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), kDesktop.name()});
}

int windowsNamed(const QString& name) {
    int count = 0;
    for (const Client& window : clients())
        count += window.shown && window.name == name;
    return count;
}

TEST(Kiosk, RunsByItselfAndComesBackOnTheSameSlide) {
    paintDesktop();
    // Longer than Quenvar waits for a slide brought back to look as it did: a wrong slide would
    // show before the next tick.
    Quenvar quenvar({QStringLiteral("--timer"), QStringLiteral("6"), deck("loop.pptx")});
    QElapsedTimer since;
    // What the audience sees, amid the show and at its corner, until the slide shows a second or
    // more after since started, but for black, the slide and what it saw before: the desktop, an
    // editor's grey, the office's white.
    const auto seenUntil = [&since](const QColor& slide, const QColor& before = Qt::black) {
        QStringList seen;
        QColor now;
        do {
            for (const QPoint point : {QPoint(1030, 10), kCentre}) {
                now = pixelAt(point);
                if (!sameColour(now, Qt::black) && !sameColour(now, slide) &&
                    !sameColour(now, before))
                    seen << now.name();
            }
        } while (!(since.elapsed() > 1000 && sameColour(now, slide)) && since.elapsed() < 60'000);
        seen.removeDuplicates();
        return sameColour(now, slide) ? seen.join(' ').toStdString() : "never the slide";
    };
    since.start();
    ASSERT_EQ(seenUntil(slideColour(1), kDesktop), "");
    ASSERT_TRUE(shows(slideColour(2))) << "the timer does not drive the show";
    // The console follows the projector within a fraction of a second.
    QThread::msleep(1000);

    signalOffice(SIGKILL);
    since.start();
    EXPECT_EQ(seenUntil(slideColour(2)), "");
    EXPECT_TRUE(shows(slideColour(3))) << "the timer did not go on";
    EXPECT_EQ(windowsNamed(kBackdropTitle), 1) << "the dead office's show left its black window";
    EXPECT_EQ(windowsNamed(QStringLiteral("Quenvar")), 0) << "a message box";

    // A window that came over the show (here its own black one) goes back under it.
    const qint64 pid = quenvar.process().processId();
    kill(pid, SIGSTOP);
    activate(waitForClient(kBackdropTitle)->id, 0ms);
    EXPECT_TRUE(shows(Qt::black));
    kill(pid, SIGCONT);
    EXPECT_TRUE(waitUntil(2s, [] { return sameColour(pixelAt(kCentre), slideColour(3)); }));
}

TEST(Kiosk, FillsTheDisplayItIsGiven) {
    if (qEnvironmentVariable("QUENVAR_E2E_SCREEN") != QLatin1String("3840x1080"))
        GTEST_SKIP() << "runs on a 3840x1080 screen";
    const QStringList split{QStringLiteral("LD_PRELOAD=" QUENVAR_FAKE_XINERAMA),
                            QStringLiteral("QUENVAR_E2E_HEADS=1920x1080+0+0,1920x1080+1920+0")};
    {
        Quenvar wrong({QStringLiteral("--display"), QStringLiteral("3"), deck("deck.ppt")}, split);
        ASSERT_TRUE(wrong.process().waitForFinished(20'000));
        EXPECT_EQ(wrong.process().exitCode(), 2);
        EXPECT_EQ(wrong.process().readAllStandardError(),
                  "quenvar: --display 3: there is no display 3; the displays are 1: 1920x1080 "
                  "at 0,0, 2: 1920x1080 at 1920,0.\n");
    }
    Quenvar quenvar({QStringLiteral("--display"), QStringLiteral("2"), deck("deck.ppt")}, split);
    const QRect fitted(1920, 0, 1920, 1080);
    EXPECT_TRUE(windowComesTo(kShowTitle, fitted));
    // The 4:3 slide in the middle, on black.
    EXPECT_TRUE(shows(slideColour(1), fitted.center()));
    EXPECT_TRUE(shows(Qt::black, {1940, 540}) && shows(Qt::black, {3820, 540}));
}

TEST(Kiosk, BadOptionsEndAtOnceWithTheirLine) {
    const QList<QStringList> rows{{QStringLiteral("--timer"), QStringLiteral("abc")},
                                  {QStringLiteral("--timer"), QStringLiteral("-1")},
                                  {QStringLiteral("--place"), QStringLiteral("1,2")},
                                  {QStringLiteral("--bogus")},
                                  {QStringLiteral("--place"), QStringLiteral("0,0,800"),
                                   QStringLiteral("--display"), QStringLiteral("1")}};
    for (const QStringList& row : rows) {
        Quenvar quenvar(row + QStringList{deck("deck.pptx")});
        ASSERT_TRUE(quenvar.process().waitForFinished(10'000)) << row.join(' ').toStdString();
        const QByteArray error = quenvar.process().readAllStandardError();
        EXPECT_EQ(quenvar.process().exitCode(), 2) << row.join(' ').toStdString();
        EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
        EXPECT_TRUE(error.startsWith("quenvar: ") && error.contains(row.first().mid(2).toUtf8()))
            << error.toStdString();
    }
    EXPECT_TRUE(officePids().isEmpty());
    // --help and --version need no X display.
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
        Quenvar quenvar({option}, {QStringLiteral("DISPLAY=")});
        ASSERT_TRUE(quenvar.process().waitForFinished(10'000));
        EXPECT_EQ(quenvar.process().exitCode(), 0);
        EXPECT_TRUE(quenvar.process().readAllStandardOutput().startsWith(
            option == QLatin1String("--help") ? "Usage: quenvar" : "quenvar "));
    }
}

TEST(Kiosk, OneQuenvarAndOnlyAGivenDeckIsKept) {
    const QString console = QStringLiteral("Quenvar-Dual Monitor");
    Quenvar quenvar({});
    ASSERT_TRUE(waitForClient(console, 30s));
    {
        Quenvar second({});
        ASSERT_TRUE(second.process().waitForFinished(10'000)) << "a second Quenvar runs";
        EXPECT_EQ(second.process().exitCode(), 0);
        EXPECT_EQ(windowsNamed(console), 1);
    }
    ASSERT_TRUE(focusWindow(console));
    pressKey("l", true);
    ASSERT_TRUE(waitForClient(QStringLiteral("Load PowerPoint Presentation"), 30s));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                                  QStringLiteral("20"), deck("deck.pptx")});
    pressKey("Return");
    ASSERT_TRUE(shows(slideColour(1)));

    signalOffice(SIGKILL);
    QThread::sleep(12);
    EXPECT_TRUE(officePids().isEmpty()) << "the office was started again";
    EXPECT_FALSE(sameColour(pixelAt(kCentre), slideColour(1)));

    // A deck given to a later Quenvar goes to this one.
    Quenvar handing({QStringLiteral("--timer"), QStringLiteral("60"), deck("other.pptx")});
    ASSERT_TRUE(handing.process().waitForFinished(10'000));
    EXPECT_EQ(handing.process().exitCode(), 0);
    EXPECT_TRUE(shows(otherSlideColour(1)));
    EXPECT_EQ(windowsNamed(console), 1);

    // Kept from then on: an office that stops answering is replaced, with no tick due meanwhile.
    QThread::sleep(2); // the load's last calls
    const QList<qint64> stopped = officePids();
    signalOffice(SIGSTOP);
    EXPECT_TRUE(waitUntil(60s, [&] {
        const QList<qint64> now = officePids();
        return !now.isEmpty() && !now.contains(stopped.value(0));
    })) << "the stopped office was not replaced";
    EXPECT_TRUE(shows(Qt::black)) << "the stopped office's show is still up";
    EXPECT_TRUE(waitUntil(30s, [] { return sameColour(pixelAt(kCentre), otherSlideColour(1)); }));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::fflush(nullptr);
    _exit(result);
}
