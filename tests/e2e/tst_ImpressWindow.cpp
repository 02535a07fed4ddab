// The real control window driving the real office on a virtual two-display X server
// (run-on-xvfb.sh). What the show does is read back from the X server; what the operator sees is
// read from the window's own boxes. Prints the timing figures of Load Show and Next Slide.
#include "app/Module1.h"
#include "app/Startup.h"
#include "platform/Forms.h"
#include "platform/MessageBox.h"
#include "show/frmQvr.h"
#include "show/impress/ImpressApplication.h"
#include "XScreen.h"

#include <algorithm>
#include <csignal>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace {

const QRect kSecondDisplay(1025, 0, 1024, 768);
const QPoint kCentre = kSecondDisplay.center();
const QString kShowTitle = show::impress::kShowWindowTitlePrefix;

class DeckPrompt final : public platform::FilePrompt {
public:
    std::optional<QString> askOpenFile(QWidget*, const QString&, const QString&,
                                       const QString&) override {
        return answer;
    }
    QString answer;
};

// Stays open, as a real box does, until the test dismisses it or holdMs pass; the event loop runs
// meanwhile, so timer ticks arrive while it is open.
class HoldingBox final : public platform::MessageBox {
public:
    void show(const QString& text) override {
        texts << text;
        ++m_open;
        maxOpen = std::max(maxOpen, m_open);
        QEventLoop loop;
        QTimer::singleShot(holdMs, &loop, &QEventLoop::quit);
        loop.exec();
        --m_open;
    }
    bool isOpen() const override { return m_open > 0; }

    QStringList texts;
    int holdMs = 0;
    int maxOpen = 0;

private:
    int m_open = 0;
};

double median(QList<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

class tst_ImpressWindow : public QObject {
    Q_OBJECT

private:
    DeckPrompt m_prompt;
    HoldingBox m_box;
    platform::Forms m_forms;
    std::unique_ptr<show::frmQvr> m_window;

    template <typename W = QLineEdit> W* find(const char* name) {
        return m_window->findChild<W*>(QLatin1String(name));
    }
    QString slideNum() { return find("txtSlideNum")->text(); }
    static bool showingColour(const QColor& colour) {
        return e2e::sameColour(e2e::waitForColour(kCentre, colour), colour);
    }
    bool showing(int slide) { return showingColour(e2e::slideColour(slide)); }
    qint64 timedClick(const char* button) {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
        return clock.elapsed();
    }
    // The operator's own keys come through the X server, to the window that has the keyboard.
    void operatorHasTheKeyboard() {
        QVERIFY(e2e::focusWindow(m_window->windowTitle()));
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

private slots:
    void initTestCase() {
        show::frmQvr::Seams seams;
        seams.createObject = [](const QString&) {
            return show::impress::createImpressApplication();
        };
        seams.filePrompt = &m_prompt;
        seams.messageBox = &m_box;
        seams.forms = &m_forms;
        seams.endProgram = [] {};
        // Wired as start-up wires the program: on top, painting while the office works, the
        // office readied while the dialog is open.
        seams.makeTopmost = &Module1::makeTopmost;
        seams.prepareProgram = &show::impress::prepareImpress;
        seams.releaseProgram = &show::impress::releaseUnusedImpress;
        app::installEventPasses();
        m_window = std::make_unique<show::frmQvr>(std::move(seams));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void loadShowPlacesTheShowAndFillsTheBoxes() {
        m_prompt.answer = e2e::deck(QStringLiteral("deck.ppt"));
        const qint64 cold = timedClick("cmdLoadShow");
        // No interval typed: the show runs all the same, then the window asks for one.
        QCOMPARE(m_box.texts, QStringList{QStringLiteral(
                                  "Please enter timer interval before loading PPT file.")});
        QCOMPARE(slideNum(), QStringLiteral("1"));
        QCOMPARE(find("txtTotalslides")->text(), QStringLiteral("5"));
        const auto rect =
            e2e::waitForWindowRect(show::impress::kShowWindowTitlePrefix, kSecondDisplay);
        QVERIFY(rect.has_value());
        QCOMPARE(*rect, kSecondDisplay);
        QVERIFY(showing(1));
        // The control window still answers, and has the keyboard back from the new show window.
        QVERIFY(m_window->isVisible());
        find("txtGotoSlide")->setFocus();
        e2e::pressKey("7");
        QTRY_COMPARE(find("txtGotoSlide")->text(), QStringLiteral("7"));

        m_box.texts.clear();
        const qint64 warm = timedClick("cmdLoadShow");
        QCOMPARE(slideNum(), QStringLiteral("1"));
        qInfo("FIGURE load-show-cold-ms %lld", cold);
        qInfo("FIGURE load-show-warm-ms %lld", warm);
        m_box.texts.clear();
    }

    void navigationMovesTheShowAndTheNumber() {
        QList<qint64> nextTimes;
        for (int slide = 2; slide <= 4; ++slide) {
            nextTimes << timedClick("cmdNextSlide");
            QCOMPARE(slideNum(), QString::number(slide));
            QVERIFY(showing(slide));
        }
        timedClick("cmdPreviousSlide");
        QCOMPARE(slideNum(), QStringLiteral("3"));
        QVERIFY(showing(3));
        find("txtGotoSlide")->setText(QStringLiteral("5"));
        timedClick("cmdGoto");
        QCOMPARE(slideNum(), QStringLiteral("5"));
        QVERIFY(showing(5));
        find("txtGotoSlide")->setText(QStringLiteral("9"));
        timedClick("cmdGoto");
        QCOMPARE(m_box.texts.size(), 1);
        QVERIFY(m_box.texts.first().startsWith(QLatin1String("LibreOffice Impress ")));
        QCOMPARE(slideNum(), QStringLiteral("5"));
        m_box.texts.clear();
        find("txtGotoSlide")->setText(QStringLiteral("1"));
        timedClick("cmdGoto");
        QVERIFY(showing(1));
        // Moving the show leaves the keyboard with the control window: Alt+N twice is two slides.
        operatorHasTheKeyboard();
        e2e::pressKey("n", true);
        QTRY_COMPARE(slideNum(), QStringLiteral("2"));
        e2e::pressKey("n", true);
        QTRY_COMPARE(slideNum(), QStringLiteral("3"));
        QVERIFY(showing(3));
        // A key at the show window moves the show by itself; the console follows at once.
        QVERIFY(e2e::focusWindow(kShowTitle));
        QTest::qWait(200); // the office takes the keyboard on its own time
        e2e::pressKey("Right");
        QVERIFY(showing(4));
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("4"), 250);
        QVERIFY(m_box.texts.isEmpty());
        qInfo("FIGURE next-slide-median-ms %.0f", median(nextTimes));
    }

    void timerAdvancesAndTheEndGivesOneMessage() {
        find("Text1")->setText(QStringLiteral("0.2"));
        timedClick("cmdLoadShow");
        QCOMPARE(slideNum(), QStringLiteral("1"));
        // The ticks leave the keyboard with the operator: every key typed meanwhile arrives.
        operatorHasTheKeyboard();
        auto* gotoBox = find("txtGotoSlide");
        gotoBox->clear();
        gotoBox->setFocus();
        for (const char* digit : {"1", "2", "3", "4", "5"}) {
            e2e::pressKey(digit);
            QTest::qWait(80);
        }
        QTRY_COMPARE(gotoBox->text(), QStringLiteral("12345"));
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("5"), 3000);
        QVERIFY(showing(5));
        // Past the last slide: one box, held open over several ticks, and no box on top of it.
        m_box.holdMs = 1500;
        QTRY_VERIFY_WITH_TIMEOUT(!m_box.texts.isEmpty(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_box.isOpen(), 3000);
        QCOMPARE(m_box.maxOpen, 1);
        QCOMPARE(m_box.texts.size(), 1);
        QVERIFY(m_box.texts.first().contains(QLatin1String("No slide is currently in view")));
        m_box.holdMs = 0;
        find("Text1")->setText(QString());
    }

    void aKilledOfficeGivesOneMessageAndTheNextLoadShowWorks() {
        e2e::signalOffice(SIGKILL);
        m_box.texts.clear();
        QElapsedTimer clock;
        clock.start();
        timedClick("cmdNextSlide");
        QVERIFY(clock.elapsed() < 6000);
        QVERIFY(!m_box.texts.isEmpty());
        QVERIFY(m_box.texts.first().contains(QLatin1String("has closed")));
        const int afterPress = m_box.texts.size();
        QVERIFY(afterPress <= 2); // the press, and at most one tick of the running timer

        m_box.texts.clear();
        find("Text1")->setText(QStringLiteral("100"));
        m_prompt.answer = e2e::deck(QStringLiteral("deck.pptx"));
        timedClick("cmdLoadShow");
        QVERIFY2(m_box.texts.isEmpty(), qPrintable(m_box.texts.join(QLatin1Char('|'))));
        QCOMPARE(slideNum(), QStringLiteral("1"));
        QVERIFY(showing(1));
        timedClick("cmdNextSlide");
        QCOMPARE(slideNum(), QStringLiteral("2"));
        QVERIFY(showing(2));
    }

    void aSecondDeckShowsOverTheFirst() {
        // The show of the test before stays open at slide 2, at the same place.
        m_prompt.answer = e2e::deck(QStringLiteral("other.pptx"));
        timedClick("cmdLoadShow");
        QVERIFY2(m_box.texts.isEmpty(), qPrintable(m_box.texts.join(QLatin1Char('|'))));
        QCOMPARE(find("txtTotalslides")->text(), QStringLiteral("3"));
        QVERIFY(showingColour(e2e::otherSlideColour(1)));
        timedClick("cmdNextSlide");
        QCOMPARE(slideNum(), QStringLiteral("2"));
        QVERIFY(showingColour(e2e::otherSlideColour(2)));
        // Slide 2 has one effect: a click shows its black box and stays on the slide; the next
        // click moves on, as it would in the show itself.
        timedClick("cmdNextSlide");
        QVERIFY(showingColour(Qt::black));
        QCOMPARE(slideNum(), QStringLiteral("2"));
        timedClick("cmdNextSlide");
        QCOMPARE(slideNum(), QStringLiteral("3"));
        QVERIFY(showingColour(e2e::otherSlideColour(3)));
        timedClick("cmdPreviousSlide");
        QCOMPARE(slideNum(), QStringLiteral("2"));
        // And the first deck's show comes back in front when that deck is loaded again.
        m_prompt.answer = e2e::deck(QStringLiteral("deck.pptx"));
        timedClick("cmdLoadShow");
        QVERIFY(showing(1));
    }

    void loopingDecksGoRoundAndTheConsoleFollows() {
        // Saved to loop: the timer takes the show past its last slide to its first, unreported.
        find("Text1")->setText(QStringLiteral("0.5"));
        m_prompt.answer = e2e::deck(QStringLiteral("loop.pptx"));
        timedClick("cmdLoadShow");
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("3"), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("1"), 1500);
        QVERIFY(showing(1));
        // This one moves by its own timings, round and round its custom show of slides 1, 3 and 4.
        find("Text1")->setText(QStringLiteral("1000"));
        m_prompt.answer = e2e::deck(QStringLiteral("timed-loop.odp"));
        timedClick("cmdLoadShow");
        for (int slide : {3, 4, 1, 3}) {
            QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QString::number(slide), 2500);
            QVERIFY(showing(slide));
        }
        QVERIFY2(m_box.texts.isEmpty(), qPrintable(m_box.texts.join(QLatin1Char('|'))));

        // Esc at the show window ends the show, and its window goes without ever showing the
        // editing view, whose grey frame and bars would fill its edges.
        const QString title = kShowTitle + QStringLiteral("timed-loop.odp");
        QVERIFY(e2e::focusWindow(title));
        QTest::qWait(200); // the office takes the keyboard on its own time
        e2e::pressKey("Escape");
        QElapsedTimer clock;
        clock.start();
        while (e2e::windowRect(title) && clock.elapsed() < 3000) {
            for (QPoint edge : {QPoint(1030, 384), QPoint(2043, 384), QPoint(1536, 763)}) {
                const QColor seen = e2e::pixelAt(edge);
                const bool grey = std::abs(seen.red() - seen.green()) < 24 &&
                                  std::abs(seen.green() - seen.blue()) < 24 && seen.red() > 48;
                // Seen in the show's own window, not in one behind it that it just uncovered.
                QVERIFY2(!grey || !e2e::windowRect(title), qPrintable(seen.name()));
            }
        }
        QVERIFY(!e2e::windowRect(title));
        // Nothing is left to move.
        timedClick("cmdNextSlide");
        QVERIFY(m_box.texts.last().contains(QLatin1String("not running")));
    }
};

// Ends at once once the tests have run: at a normal exit the UNO runtime's bridge threads still run
// while its libraries unload.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    tst_ImpressWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    std::fflush(nullptr);
    _exit(result);
}
#include "tst_ImpressWindow.moc"
