// Next Slide, Previous Slide, Goto and the timer that presses Next: the calls each sends, the
// number the window shows after it and the one message each failure gives; the number following
// the show when it moves alone; ticks or show events that come while a press waits; and a
// clicker's key held down.
#include "QvrFixture.h"

using namespace std::chrono_literals;

class tst_Navigation : public QObject {
    Q_OBJECT
private slots:
    void nextAndPreviousActivateMoveAndReadBack();
    void gotoSendsConvertedNumber();
    void numberFollowsTheShow();
    void ticksPressNextSlideAndNeverStackBoxes();
    void aHeldClickerKeyMovesOneSlideARepeatAtMost();
};

void tst_Navigation::nextAndPreviousActivateMoveAndReadBack() {
    QvrFixture f;
    f.type("txtGotoSlide", QStringLiteral("2"));
    for (const char* name : {"cmdNextSlide", "cmdPreviousSlide", "cmdGoto"})
        f.click(name);
    QCOMPARE(f.messages.texts.filter(QRegularExpression("^Quenvar \\w")).size(), 3);
    QVERIFY(f.office.calls.isEmpty() && f.text("txtSlideNum").isEmpty());
    f.messages.texts.clear();

    f.office.slideCountOfNextDeck = 2;
    f.loadShow();
    f.office.take();
    f.click("cmdPreviousSlide"); // sent even on the first slide
    // The chain is fetched afresh for every step.
    QCOMPARE(f.office.take(), QStringList({"SlideShowWindow", "Activate", "SlideShowWindow",
                                           "Previous", "SlideShowWindow", "Slide", "SlideIndex"}));
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("1"));
    f.click("cmdNextSlide");
    QCOMPARE(f.office.take().mid(1, 3), QStringList({"Activate", "SlideShowWindow", "Next"}));
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    QVERIFY(f.messages.texts.isEmpty());
    // Past the end: one message, the old number, and the box still out of the operator's reach.
    f.click("cmdNextSlide");
    QCOMPARE(f.messages.texts, QStringList{"Fake Impress no slide is currently in view"});
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
}

// Goto neither activates the show window nor reads the position back: it shows what it asked for.
void tst_Navigation::gotoSendsConvertedNumber() {
    // Typed; sent (empty: nothing); the number shown, then any message.
    const char* const rows[][3] = {
        {"3", "GotoSlide 3 reset", "3"},
        {" 3.5 ", "GotoSlide 4 reset", "4"}, // blanks, half to even
        {"three", "", "1|Quenvar Type mismatch"},
        {"40000", "GotoSlide 40000 reset", "1|Fake Impress no slide 40000"},
        {"2147483648", "", "1|Quenvar Overflow"},
        {"0", "GotoSlide 0 reset", "1|Fake Impress no slide 0"}};
    for (const auto& [typed, sent, result] : rows) {
        QvrFixture f;
        f.loadShow();
        f.office.take();
        f.type("txtGotoSlide", typed);
        f.click("cmdGoto");
        QCOMPARE(f.office.take(), *sent ? QStringList({"SlideShowWindow", sent}) : QStringList());
        QCOMPARE(QStringList{f.text("txtSlideNum")} + f.messages.texts, QString(result).split('|'));
        QCOMPARE(f.text("txtGotoSlide"), typed);
        QVERIFY(!f.box("txtSlideNum")->isEnabled());
    }
}

// A show that moves by itself, or by a hand at the show window, is followed by the number, read
// from the program. While a press waits for the program, the event waits for the press.
void tst_Navigation::numberFollowsTheShow() {
    QvrFixture f;
    f.loadShow();
    f.office.showMovesTo(4);
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled());

    f.office.take();
    f.office.whileCalled = [&f] { f.office.showMovesTo(2); };
    f.click("cmdNextSlide");
    QTRY_COMPARE(f.office.calls.count(QStringLiteral("Slide")), 2);
    QCOMPARE(f.office.calls.mid(0, 4),
             QStringList({"SlideShowWindow", "Activate", "SlideShowWindow", "Next"}));
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("3"));

    // An ended show is not reported by the event: nobody pressed anything.
    f.office.decks.back()->ended = true;
    f.office.showMovesTo(5);
    QVERIFY(f.messages.texts.isEmpty());
}

// The timer presses Next at the interval of the last Load Show. Once the show has ended and nobody
// is there to press OK, failing ticks open no second box; a tick during a press waits for it.
void tst_Navigation::ticksPressNextSlideAndNeverStackBoxes() {
    QvrFixture f;
    f.office.slideCountOfNextDeck = 4;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("10"));
    f.office.take();
    f.type("Text1", QStringLiteral("1")); // waits for the next Load Show
    f.tick(9999ms);
    QVERIFY(f.office.calls.isEmpty());
    for (int slide = 2; slide <= 4; ++slide) {
        f.tick(10s);
        QCOMPARE(f.text("txtSlideNum"), QString::number(slide));
    }
    QCOMPARE(f.office.calls.count(QStringLiteral("Activate")), 3);
    QCOMPARE(f.office.calls.count(QStringLiteral("Next")), 3);

    f.messages.whileOpen = [&f] {
        for (int tick = 0; tick < 500; ++tick)
            f.tick(10s);
    };
    f.tick(10s);
    QCOMPARE(f.office.calls.count(QStringLiteral("Next")), 504);
    QCOMPARE(f.messages.texts.size(), 1);
    // Once OK is pressed, each failing tick is reported again, and a pressed button always is.
    f.messages.whileOpen = nullptr;
    f.tick(10s);
    f.click("cmdNextSlide");
    QCOMPARE(f.messages.texts.size(), 3);
    QCOMPARE(f.messages.deepest, 1);

    f.office.take();
    f.office.whileCalled = [&f] { f.tick(10s); };
    f.click("cmdPreviousSlide");
    QCOMPARE(f.office.take().mid(0, 4),
             QStringList({"SlideShowWindow", "Activate", "SlideShowWindow", "Previous"}));
    QTRY_COMPARE(f.office.calls.count(QStringLiteral("Next")), 1);
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
}

// The repeats of a clicker's key that pile up while a move waits for the program are dropped; later
// ones move a slide each; a held b blanks the projector once.
void tst_Navigation::aHeldClickerKeyMovesOneSlideARepeatAtMost() {
    QvrFixture f;
    f.loadShow();
    // at: the X server's time, in ms
    auto send = [&f](QEvent::Type type, Qt::Key key, quint64 at, bool autoRepeat) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        event.setTimestamp(at);
        QApplication::sendEvent(f.find("cmdNextSlide"), &event);
    };
    auto press = [&](Qt::Key key, quint64 at, bool autoRepeat) {
        send(QEvent::KeyPress, key, at, autoRepeat);
    };
    f.office.whileCalled = [] { QTest::qSleep(100); }; // a slow first move
    press(Qt::Key_PageDown, 1000, false);
    // A repeat is a release and a press stamped alike, which Qt does not always mark.
    for (quint64 at : {1040, 1080}) {
        send(QEvent::KeyRelease, Qt::Key_PageDown, at, false);
        press(Qt::Key_PageDown, at, at == 1040);
    }
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    for (quint64 at : {1200, 1240})
        press(Qt::Key_Right, at, true);
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
    press(Qt::Key_B, 1300, false);
    press(Qt::Key_B, 1340, true);
    QCOMPARE(f.office.decks.back()->state, show::ppSlideShowBlackScreen);
}

QTEST_MAIN(tst_Navigation)
#include "tst_Navigation.moc"
