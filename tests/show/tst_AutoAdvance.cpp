// The timer pressing Next Slide: ticks at the typed interval, failures that do not stop it, no pile
// of message boxes once the show has ended and nobody is there to press OK, and no tick inside a
// press that waits for the program.
#include "QvrFixture.h"

using namespace std::chrono_literals;

class tst_AutoAdvance : public QObject {
    Q_OBJECT
private slots:
    void ticksPressNextSlideAtTheLoadedInterval();
    void failingTicksNeverStackBoxes();
    void aTickDuringAPressWaitsForIt();
};

void tst_AutoAdvance::ticksPressNextSlideAtTheLoadedInterval() {
    QvrFixture f;
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
}

// The recording box stays "open" while hundreds of ticks arrive: none of them opens another.
void tst_AutoAdvance::failingTicksNeverStackBoxes() {
    QvrFixture f;
    f.office.slideCountOfNextDeck = 1;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("1"));
    f.messages.whileOpen = [&f] {
        for (int tick = 0; tick < 500; ++tick)
            f.tick(1s);
    };
    f.tick(1s);
    QCOMPARE(f.office.calls.count(QStringLiteral("Next")), 501);
    QCOMPARE(f.messages.texts.size(), 1);
    // Once OK is pressed, each failing tick is reported again, and a pressed button always is.
    f.messages.whileOpen = nullptr;
    f.tick(1s);
    f.click("cmdNextSlide");
    QCOMPARE(f.messages.texts.size(), 3);
    QCOMPARE(f.messages.deepest, 1);
}

void tst_AutoAdvance::aTickDuringAPressWaitsForIt() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("1"));
    f.office.take();
    f.office.whileCalled = [&f] { f.tick(1s); };
    f.click("cmdPreviousSlide");
    QCOMPARE(f.office.take().mid(0, 4),
             QStringList({"SlideShowWindow", "Activate", "SlideShowWindow", "Previous"}));
    QTRY_COMPARE(f.office.calls.count(QStringLiteral("Next")), 1);
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
}

QTEST_MAIN(tst_AutoAdvance)
#include "tst_AutoAdvance.moc"
