// The Impress backend driven through the presentation-program interface, on a real office and a
// virtual X server (run-on-xvfb.sh), with what the show does read back from the X server. Built
// again under the sanitizers, which watch the workers and the office's callbacks.
#include "show/impress/Deck.h"
#include "show/impress/Office.h"
#include "Squatter.h"
#include "XScreen.h"

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <unistd.h>

using namespace e2e;
using show::impress::officeLimits;
using show::impress::OfficeProcess;

namespace {

struct Show {
    std::shared_ptr<show::PpApplication> app;
    std::shared_ptr<show::PpPresentation> pres;
    std::shared_ptr<show::PpSlideShowView> view() { return pres->SlideShowWindow()->View(); }
    int32_t shown() { return view()->Slide()->SlideIndex(); }
};

Show load(const QString& file, float left = 769, float top = 0, float width = 768) {
    Show show{show::impress::createImpressApplication(), {}};
    show.app->setVisible(true);
    show.pres = show.app->Presentations()->Open(deck(file));
    // Until its show starts, the deck's editing view stays out of the audience's sight. The
    // window manager maps its window in its own time.
    const QRect unseen(kSecondDisplay.topLeft(), QSize(1, 1));
    EXPECT_TRUE(windowComesTo(kShowTitle + QFileInfo(file).fileName(), unseen));
    show.pres->SlideShowSettings()->Run();
    auto window = show.pres->SlideShowWindow();
    window->setLeft(left);
    window->setTop(top);
    window->setWidth(width);
    return show;
}

void expectSlide(Show& show, int slide) {
    EXPECT_EQ(show.shown(), slide);
    EXPECT_TRUE(shows(slideColour(slide))) << "slide " << slide;
}

// Whether the call fails, with the presentation program as the source and part in its text.
template <typename Call>
bool fails(Call call, const QString& part = {}, const char* source = "LibreOffice Impress") {
    try {
        call();
    } catch (const platform::Failure& failure) {
        EXPECT_EQ(failure.source(), QLatin1String(source));
        EXPECT_TRUE(failure.description().contains(part)) << failure.description().toStdString();
        return true;
    }
    return false;
}

TEST(ImpressBackend, PlacesAndMovesTheShowAndWaitsForAStoppedOffice) {
    Show show = load("deck.ppt");
    EXPECT_TRUE(windowComesTo(kShowTitle, kSecondDisplay));
    expectSlide(show, 1);
    // Slide colour up to the window's edges: no menu, tool bar, side bar or frame. And nothing of
    // the office on the operator's display.
    for (QPoint corner : {QPoint(1035, 10), QPoint(2038, 10), QPoint(1035, 757), QPoint(2038, 757)})
        EXPECT_TRUE(shows(slideColour(1), corner));
    EXPECT_TRUE(sameColour(pixelAt({512, 384}), pixelAt({5, 5})));

    for (int32_t index : {0, 6})
        EXPECT_TRUE(fails([&] { show.view()->GotoSlide(index, true); }, "1 to 5"));
    // Past the end no slide is in view, however often clicked; Previous comes back to the last.
    show.view()->GotoSlide(5, true);
    show.view()->Next();
    show.view()->Next();
    EXPECT_TRUE(fails([&] { show.shown(); }, "No slide is currently in view"));
    show.view()->Previous();
    expectSlide(show, 5);

    auto window = show.pres->SlideShowWindow();
    window->setLeft(0);
    window->setWidth(600);
    EXPECT_TRUE(windowComesTo(kShowTitle, QRect(0, 0, 800, 600)));
    // 16-bit extremes break neither the office nor the window.
    window->setLeft(-32768);
    window->setWidth(-32768);
    window->setLeft(769);
    window->setWidth(768);
    EXPECT_TRUE(windowComesTo(kShowTitle, kSecondDisplay));
    show.view()->GotoSlide(3, true);

    // Stopped during Open: that press fails once the limit has passed, a later call after the
    // short probe; neither condemns the office.
    const QList<qint64> office = officePids();
    const show::impress::OfficeLimits saved = officeLimits();
    show::impress::setOfficeLimits({saved.call, 3s, saved.start, 1s, saved.silence});
    signalOffice(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(fails([&] { show.app->Presentations()->Open(deck("other.pptx")); }, "stopped"));
    const qint64 openFailed = clock.restart();
    EXPECT_TRUE(fails([&] { show.view()->Next(); }));
    const qint64 probeFailed = clock.elapsed();
    signalOffice(SIGCONT);
    show::impress::setOfficeLimits(saved);
    EXPECT_GE(openFailed, 3000);
    EXPECT_LT(openFailed, 4500);
    EXPECT_LT(probeFailed, 2000);
    // The same office serves the next Load Show (here on the operator's display). The Open that
    // overran went on to its end on its abandoned worker and closed what it opened: the first
    // show is still on the screen, uncovered.
    Show next = load("deck.ppt", 0, 0, 600);
    EXPECT_EQ(next.shown(), 1);
    EXPECT_EQ(officePids(), office);
    expectSlide(show, 3);
}

// Stopped as Run starts, until its limit has passed: the job given up on goes on when the office
// does, beside the jobs of the presses after it, which find the show it started. Under
// ThreadSanitizer, the deck's state has one owner at a time.
TEST(ImpressBackend, GoesOnAfterAnOfficeStoppedDuringRun) {
    Show show{show::impress::createImpressApplication(), {}};
    show.pres = show.app->Presentations()->Open(deck("deck.pptx"));
    const show::impress::OfficeLimits saved = officeLimits();
    show::impress::setOfficeLimits({2s, 2s, saved.start, 1s, saved.silence});
    signalOffice(SIGSTOP);
    EXPECT_TRUE(fails([&] { show.pres->SlideShowSettings()->Run(); }, "stopped"));
    signalOffice(SIGCONT);
    show::impress::setOfficeLimits(saved);
    // A press may fail until the late start has ended; then each does what it says.
    waitUntil(15s, [&] { return !fails([&] { show.view()->GotoSlide(3, true); }); });
    expectSlide(show, 3);
    show.view()->Next();
    expectSlide(show, 4);
}

// A 16:9 show over a 4:3 one on a 4:3 display: black below it where the older show's slide would
// be, until it ends.
TEST(ImpressBackend, BlackensTheDisplayAroundANarrowerShow) {
    Show older = load("loop.pptx"); // a deck no other test leaves running
    Show wide = load("wide.odp");
    EXPECT_TRUE(windowComesTo(kShowTitle + "wide.odp", QRect(1025, 0, 1024, 576)));
    EXPECT_TRUE(shows(otherSlideColour(1)));
    for (QPoint below : {QPoint(1030, 600), QPoint(1536, 700), QPoint(2043, 765)})
        EXPECT_TRUE(shows(Qt::black, below));
    ASSERT_TRUE(focusWindow(kShowTitle + "wide.odp"));
    QThread::msleep(200); // the office takes the keyboard on its own time
    pressKey("Escape");
    EXPECT_TRUE(shows(slideColour(1), {1536, 700}));
}

// Runs a press on a thread of its own while watching the X server: any window the window manager
// shows meanwhile, but for show windows and the black below them on the second display, is a
// question put to nobody.
template <typename Press> auto watched(Press press) {
    QList<unsigned long> before;
    for (const Client& window : clients())
        before << window.id;
    auto pressed = std::async(std::launch::async, press);
    QStringList strays;
    do {
        for (const Client& window : clients())
            if (window.shown && !before.contains(window.id) &&
                !((window.name.startsWith(kShowTitle) || window.name == kBackdropTitle) &&
                  kSecondDisplay.contains(window.rect)))
                strays << window.name;
    } while (pressed.wait_for(50ms) != std::future_status::ready);
    strays.removeDuplicates();
    EXPECT_TRUE(strays.isEmpty()) << strays.join(", ").toStdString();
    return pressed.get();
}

// The office writes the decks locked by a password itself. The first ODF deck an office shows
// makes it map a small window amid the screen for a moment, once in its life: it is shown here,
// outside the watched presses.
void writePasswordDecks() {
    using namespace css;
    using show::impress::ou;
    using show::impress::property;
    const auto url = [](const char* name) {
        return show::impress::toOUString(QUrl::fromLocalFile(deck(name)).toString());
    };
    const auto office = show::impress::Office::connect();
    office->call(
        [&] {
            const beans::PropertyValue hidden[] = {property("Hidden", uno::Any(true))};
            const uno::Reference<frame::XStorable> odp(
                office->desktop()->loadComponentFromURL(url("deck.odp"), "_blank", 0,
                                                        uno::Sequence(hidden, 1)),
                uno::UNO_QUERY_THROW);
            const beans::PropertyValue odf[] = {property("Password", uno::Any(ou("secret"))),
                                                property("FilterName", uno::Any(ou("impress8")))};
            odp->storeToURL(url("password.odp"), uno::Sequence(odf, 2));
            const beans::NamedValue key[] = {{"CryptoType", uno::Any(ou("Standard"))},
                                             {"OOXPassword", uno::Any(ou("secret"))}};
            const beans::PropertyValue ooxml[] = {
                property("EncryptionData", uno::Any(uno::Sequence(key, 2))),
                property("FilterName", uno::Any(ou("Impress MS PowerPoint 2007 XML")))};
            odp->storeToURL(url("password.pptx"), uno::Sequence(ooxml, 2));
            uno::Reference<util::XCloseable>(odp, uno::UNO_QUERY_THROW)->close(true);
        },
        60s);
    load("deck.odp");
}

TEST(ImpressFiles, ShowsEveryFormatWithoutAskingAndFailsPlainlyOnTheRest) {
    writePasswordDecks();
    // Beside locked.pptx lies the lock file of an office that died: asked, the office would want
    // to know what to do.
    // The fifth name holds what a file URL must escape. The macro deck's macro, run on opening,
    // would leave a file.
    const char* names[] = {
        "deck.pptx",   "deck.odp", "deck.pps", "deck.ppsx", "Vortrag #1, 100% Größe.pptx",
        "locked.pptx", "macro.odp"};
    for (int i = 0; i < int(std::size(names)); ++i) {
        SCOPED_TRACE(names[i]);
        Show show = watched([&] { return load(QString::fromUtf8(names[i])); });
        EXPECT_EQ(show.app->ActivePresentation(), show.pres);
        // Another slide than the show before stands on: this show is the one drawn.
        show.view()->GotoSlide(2 + i % 4, true);
        expectSlide(show, 2 + i % 4);
    }

    // Over a running show, which outlives every failure.
    Show running = load("other.pptx");
    const QString damaged = QStringLiteral("%1 could not be opened: it is damaged or not a "
                                           "presentation that LibreOffice Impress can read.");
    const QString password =
        QStringLiteral("%1 is protected by a password: Quenvar cannot show it.");
    const std::pair<const char*, QString> files[] = {
        {"missing.ppt", QStringLiteral("The file %1 does not exist.")},
        {"", QStringLiteral("%1 is a folder, not a presentation.")},
        {"notes.txt", damaged},      // a text file would bring the office's import dialog
        {"garbage.pptx", damaged},   // the office aborts on its XML
        {"repair.odp", damaged},     // the office offers to repair it
        {"password.odp", password},  // its parts encrypted
        {"password.pptx", password}, // an encrypted OLE file
    };
    for (const auto& [name, text] : files) {
        const QString file = deck(QString::fromLatin1(name));
        EXPECT_TRUE(
            fails([&] { watched([&] { return running.app->Presentations()->Open(file); }); },
                  text.arg(file)));
    }
    EXPECT_EQ(running.shown(), 1);
    EXPECT_TRUE(shows(otherSlideColour(1)));
    EXPECT_FALSE(QFile::exists(deck(QStringLiteral("macro-ran"))));
}

// Takes the office down. An office that cannot start is reported at once, unseen; another user who
// took the pipe's name gets nothing; the next office clears what the crashed one left.
TEST(ImpressOffice, StartsOnlyWhereItCanOnAPipeNoOtherUserReaches) {
    Show show = load("deck.ppt");
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/quenvar");
    const OfficeProcess office;
    const QString name = office.pipeName();
    const QString pipe = office.socketPath();
    const QDir temp(office.tempDir(), {}, QDir::NoSort, QDir::NoDotAndDotDot | QDir::AllEntries);
    const QStringList crashed = temp.entryList();
    EXPECT_FALSE(crashed.isEmpty()) << "the office keeps its temporary files elsewhere";
    signalOffice(SIGKILL);
    waitUntil(10s, [] { return officePids().isEmpty(); });

    ASSERT_TRUE(QDir().rename(cache, cache + ".aside") && QFile(cache).open(QIODevice::WriteOnly));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(watched([&] {
        return fails([] { load("deck.ppt"); }, cache + " is a file, not a folder", "Quenvar");
    }));
    EXPECT_LT(clock.elapsed(), 5000);
    ASSERT_TRUE(QFile::remove(cache) && QDir().rename(cache + ".aside", cache));

    // Once the crash has freed the pipe's name, another user takes it.
    Squatter squatter(pipe);
    EXPECT_TRUE(squatter.listening || getuid() != 0) << "the killed office's pipe is still there";
    show::impress::prepareImpress();
    show = load("deck.ppt");
    expectSlide(show, 1);
    EXPECT_EQ(squatter.received(), squatter.listening ? 0 : -1);
    QFile::remove(pipe);
    const QByteArray renewed = OfficeProcess().pipeName().toLatin1();
    EXPECT_NE(renewed, name);
    EXPECT_TRUE(officePids(renewed).isEmpty()) << "the pipe's name is in the office's command line";
    for (const QString& entry : crashed)
        EXPECT_FALSE(temp.exists(entry)) << "left by the crashed office";
}

// Runs last: it takes the office down, twice. Running a show sets properties of its document; a
// document left modified would stop the office's quitting behind a "save changes?" dialog. An
// office readied while the open-file dialog is up is ended at close unless a show has run on it.
TEST(ImpressOffice, ReplacesAKilledOfficeAndQuitsWithoutAskingToSave) {
    Show show = load("deck.pptx");
    signalOffice(SIGKILL);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(fails([&] { show.view()->Next(); }, "has closed"));
    EXPECT_LT(clock.elapsed(), 6000);
    show = load("deck.ppt");
    expectSlide(show, 1);

    const auto office = show::impress::Office::connect();
    try { // the office may go before its answer does; a dialog would make the call overrun
        EXPECT_TRUE(office->call([office] { return office->desktop()->terminate(); }, 15s));
    } catch (const platform::Failure& failure) {
        EXPECT_TRUE(failure.description().contains(QLatin1String("has closed")));
    }
    auto officeRuns = [](bool expected) {
        waitUntil(15s, [&] { return officePids().isEmpty() != expected; });
        return !officePids().isEmpty();
    };
    EXPECT_FALSE(officeRuns(false)) << "the office did not quit";
    waitUntil(5s, [] { return !OfficeProcess().running(); }); // its launcher ends a moment later
    show::impress::prepareImpress();
    EXPECT_TRUE(officeRuns(true));
    show::impress::releaseUnusedImpress();
    EXPECT_FALSE(officeRuns(false));
    show::impress::prepareImpress();
    show = load("deck.ppt");
    show::impress::releaseUnusedImpress();
    expectSlide(show, 1);
}

} // namespace

// The UNO runtime's bridge threads still run while its libraries unload at a normal exit, and the
// office's late releases of our listeners then crash it: the run ends at once.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::fflush(nullptr);
    _exit(result);
}
