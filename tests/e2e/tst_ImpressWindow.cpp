// The real control window, made as start-up makes it, driving the real office on a
// virtual two-display X server (run-on-xvfb.sh). What the show does is read back from the X
// server; what the operator sees, from the window's own boxes and the X server's pixels.
#include "app/Startup.h"
#include "show/frmQvr.h"
#include "show/impress/ImpressApplication.h"
#include "tests/support/RecordingMessageBox.h"
#include "XScreen.h"

#include <algorithm>
#include <csignal>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <unistd.h>

using namespace e2e;

namespace {

class DeckPrompt final : public platform::FilePrompt {
public:
    std::optional<QString> askOpenFile(QWidget*, const QString&, const QString&,
                                       const QString&) override {
        return answer;
    }
    QString answer;
};

// Whether the X server shows the widget as it draws itself.
bool onScreen(QWidget* widget) {
    const QImage drawn = widget->grab().toImage();
    const int middle = widget->height() / 2;
    for (QPoint p : {QPoint(3, middle), widget->rect().center(), QPoint(widget->width() - 4, 3)})
        if (!sameColour(pixelAt(widget->mapToGlobal(p)), drawn.pixelColor(p)))
            return false;
    return true;
}

} // namespace

class tst_ImpressWindow : public QObject {
    Q_OBJECT

    DeckPrompt m_prompt;
    RecordingMessageBox m_box;
    app::Services m_services;
    std::unique_ptr<show::frmQvr> m_window;

    template <typename W = QLineEdit> W* find(const char* name) {
        return m_window->findChild<W*>(QLatin1String(name));
    }
    QString slideNum() { return find("txtSlideNum")->text(); }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    qint64 loadShow(const char* file, const char* interval) {
        find("Text1")->setText(QLatin1String(interval));
        m_prompt.answer = deck(QLatin1String(file));
        QElapsedTimer clock;
        clock.start();
        click("cmdLoadShow");
        return clock.elapsed();
    }
    // The operator's own keys come through the X server, to the window that has the keyboard.
    void operatorHasTheKeyboard() {
        QVERIFY(focusWindow(m_window->windowTitle()));
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void expectNoMessage() { QVERIFY2(m_box.texts.isEmpty(), qPrintable(m_box.texts.join('|'))); }

private slots:
    void initTestCase() {
        show::frmQvr::Seams seams = app::productionSeams(m_services);
        seams.filePrompt = &m_prompt;
        seams.messageBox = &m_box;
        m_window = app::startUp(std::move(seams));
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // The numbers window opens where the control window, always on top, stands; its boxes must
    // show over it. Minimized through the window manager it has no way back but Alt+D.
    void displayNumbersOpenOverTheControlWindowAndComeBack() {
        operatorHasTheKeyboard();
        pressKey("d", true);
        QWidget* numbers = nullptr;
        QTRY_VERIFY((numbers = QApplication::activeWindow()) && numbers != m_window.get());
        const auto boxes = numbers->findChildren<QLineEdit*>(QRegularExpression("^txt"));
        QCOMPARE(boxes.size(), 3);
        auto allShown = [&] { return std::all_of(boxes.begin(), boxes.end(), onScreen); };
        for (QLineEdit* box : boxes)
            QVERIFY(m_window->frameGeometry().contains(box->mapToGlobal(box->rect().center())));
        QTRY_VERIFY(allShown());
        minimize(numbers->winId());
        QTRY_VERIFY(std::none_of(boxes.begin(), boxes.end(), onScreen));
        operatorHasTheKeyboard();
        pressKey("d", true);
        QTRY_VERIFY(allShown());
        QTest::mouseClick(numbers->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    }

    void loadShowPlacesTheShowAndTheButtonsMoveIt() {
        qInfo("FIGURE load-show-cold-ms %lld", loadShow("deck.ppt", ""));
        m_box.texts.clear(); // the question for an interval, which the unit test pins
        QCOMPARE(find("txtTotalslides")->text(), QStringLiteral("5"));
        QVERIFY(windowComesTo(kShowTitle, kSecondDisplay));
        QCOMPARE(slideNum(), QStringLiteral("1"));
        QVERIFY(shows(slideColour(1)));
        // The control window has the keyboard back from the new show window.
        find("txtGotoSlide")->setFocus();
        pressKey("7");
        QTRY_COMPARE(find("txtGotoSlide")->text(), QStringLiteral("7"));

        for (const char* button : {"cmdNextSlide", "cmdNextSlide", "cmdPreviousSlide"})
            click(button);
        QCOMPARE(slideNum(), QStringLiteral("2"));
        QVERIFY(shows(slideColour(2)));
        // A window kept on top over the show, as the control window is, slows no press down.
        const QPoint home = m_window->pos();
        m_window->move(kCentre);
        QTRY_VERIFY(windowRect(m_window->windowTitle())->contains(kCentre + QPoint(20, 20)));
        QElapsedTimer pressed;
        pressed.start();
        click("cmdNextSlide");
        click("cmdPreviousSlide");
        QVERIFY2(pressed.elapsed() < 400, qPrintable(QString::number(pressed.elapsed())));
        m_window->move(home);
        // A key at the show window moves the show by itself; the console follows at once.
        QVERIFY(focusWindow(kShowTitle));
        QTest::qWait(200); // the office takes the keyboard on its own time
        pressKey("Right");
        QVERIFY(shows(slideColour(3)));
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("3"), 250);
        // Another program's window over the show: Next brings the show back to the audience.
        QWidget cover(nullptr, Qt::FramelessWindowHint);
        cover.setStyleSheet(QStringLiteral("background: white"));
        cover.setGeometry(kSecondDisplay);
        cover.show();
        QTRY_VERIFY(sameColour(pixelAt(kCentre), Qt::white));
        click("cmdNextSlide");
        QVERIFY(shows(slideColour(4)));
        expectNoMessage();
    }

    // A presenter's clicker is a keyboard: its keys land on whichever control has the keyboard.
    void clickerKeysMoveAndBlankTheShow() {
        loadShow("deck.odp", "1000");
        operatorHasTheKeyboard();
        // Page Down twice, as a hand would: Qt takes a press in the same millisecond as the
        // release before it for auto-repeat.
        for (const char* slide : {"2", "3"}) {
            pressKey("Next");
            QTRY_COMPARE(slideNum(), QLatin1String(slide));
        }
        QVERIFY(shows(slideColour(3)));
        pressKey("Prior");
        QTRY_COMPARE(slideNum(), QStringLiteral("2"));
        QVERIFY(shows(slideColour(2)));

        // In a text box the arrows edit it; Page Down still moves the show.
        auto* gotoBox = find("txtGotoSlide");
        gotoBox->setText(QStringLiteral("12"));
        gotoBox->setFocus();
        gotoBox->setCursorPosition(0);
        pressKey("Next");
        QTRY_COMPARE(slideNum(), QStringLiteral("3"));
        pressKey("Right");
        QTRY_COMPARE(gotoBox->cursorPosition(), 1);

        // Space never presses the button that has the keyboard.
        click("cmdPreviousSlide");
        QCOMPARE(QApplication::focusWidget(), find<QPushButton>("cmdPreviousSlide"));
        pressKey("space");
        QTRY_COMPARE(slideNum(), QStringLiteral("3"));

        // b blacks the projector and w whitens it, and the console says so until b brings the
        // slide back, or the next key, from a blank projector, shows the next slide.
        for (const auto& [key, blank, back, slide] :
             {std::tuple("b", "black", "b", 3), std::tuple("w", "white", "Next", 4)}) {
            pressKey(key);
            QTRY_VERIFY(m_window->windowTitle().contains(QLatin1String(blank)));
            QVERIFY(shows(QColor(QLatin1String(blank))));
            pressKey(back);
            QTRY_COMPARE(m_window->windowTitle(), QStringLiteral("Quenvar-Dual Monitor"));
            QTRY_COMPARE(slideNum(), QString::number(slide));
            QVERIFY(shows(slideColour(slide)));
        }
        expectNoMessage();
    }

    void timerMovesTheShowAndLeavesTheKeyboardWithTheOperator() {
        qInfo("FIGURE load-show-warm-ms %lld", loadShow("deck.ppt", "0.2"));
        QCOMPARE(slideNum(), QStringLiteral("1"));
        operatorHasTheKeyboard();
        auto* gotoBox = find("txtGotoSlide");
        gotoBox->clear();
        gotoBox->setFocus();
        for (const char* digit : {"1", "2", "3", "4", "5"}) {
            pressKey(digit);
            QTest::qWait(80);
        }
        QTRY_COMPARE(gotoBox->text(), QStringLiteral("12345"));
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("5"), 3000);
        QVERIFY(shows(slideColour(5)));
    }

    void aSecondDeckShowsOverTheFirst() {
        loadShow("other.pptx", "100");
        expectNoMessage();
        QCOMPARE(find("txtTotalslides")->text(), QStringLiteral("3"));
        QVERIFY(shows(otherSlideColour(1)));
        click("cmdNextSlide");
        QVERIFY(shows(otherSlideColour(2)));
        // Slide 2 has one effect: a click shows its black box and stays on the slide; the next
        // click moves on, as it would in the show itself.
        click("cmdNextSlide");
        QVERIFY(shows(Qt::black));
        QCOMPARE(slideNum(), QStringLiteral("2"));
        click("cmdNextSlide");
        QCOMPARE(slideNum(), QStringLiteral("3"));
        QVERIFY(shows(otherSlideColour(3)));
    }

    void loopingDecksGoRoundAndTheConsoleFollows() {
        // Saved to loop: the timer takes the show past its last slide to its first, unreported.
        for (const char* file : {"loop.pptx", "loop.odp"}) {
            loadShow(file, "0.5");
            QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("3"), 3000);
            QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("1"), 1500);
            QVERIFY(shows(slideColour(1)));
        }
        // This one moves by its own timings, round and round its custom show of slides 1, 3 and 4.
        loadShow("timed-loop.odp", "1000");
        for (int slide : {3, 4, 1, 3}) {
            QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QString::number(slide), 2500);
            QVERIFY(shows(slideColour(slide)));
        }
        expectNoMessage();

        // Esc at the show window ends the show, and its window goes without ever showing the
        // editing view, whose grey frame and bars would fill its edges.
        const QString title = kShowTitle + QStringLiteral("timed-loop.odp");
        QVERIFY(focusWindow(title));
        QTest::qWait(200); // the office takes the keyboard on its own time
        pressKey("Escape");
        QElapsedTimer clock;
        clock.start();
        while (windowRect(title) && clock.elapsed() < 3000)
            for (QPoint edge : {QPoint(1030, 384), QPoint(2043, 384), QPoint(1536, 763)}) {
                // Grey, and seen in the show's own window, not in one behind that it uncovered.
                const QColor seen = pixelAt(edge);
                const bool grey = seen.hsvSaturation() < 24 && seen.value() > 48;
                QVERIFY2(!grey || !windowRect(title), qPrintable(seen.name()));
            }
        QVERIFY(!windowRect(title));
        click("cmdNextSlide");
        QVERIFY(m_box.texts.last().contains(QLatin1String("not running")));
        m_box.texts.clear();
    }

    // A window manager slow to put the show on the screen: the windows go on painting, and the
    // console, here without the show's listener, goes on asking the show where it stands.
    void loadShowKeepsPaintingAndFollowingWhileTheShowComes() {
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        const auto beat = [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        };
        QTimer beats;
        beats.setInterval(5);
        connect(&beats, &QTimer::timeout, beat);
        show::impress::setSlideListening(false);
        signalWindowManager(SIGSTOP);
        QTimer::singleShot(1500, [] { signalWindowManager(SIGCONT); });
        clock.start();
        beats.start();
        loadShow("deck.ppsx", "100");
        beat();
        beats.stop();
        signalWindowManager(SIGCONT);
        show::impress::setSlideListening(true);
        qInfo("FIGURE load-show-longest-silence-ms %lld (window manager stopped for 1.5 s)",
              longest);
        QVERIFY2(longest <= 250, qPrintable(QString::number(longest)));

        e2e::click(kCentre); // at the show window: slide 1 to 2
        QVERIFY(shows(slideColour(2)));
        QTRY_COMPARE_WITH_TIMEOUT(slideNum(), QStringLiteral("2"), 250);
        expectNoMessage();
    }
};

// Ends at once: at a normal exit the UNO runtime's bridge threads run while its libraries unload.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    tst_ImpressWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    std::fflush(nullptr);
    _exit(result);
}
#include "tst_ImpressWindow.moc"
