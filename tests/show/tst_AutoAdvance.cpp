// The timer pressing Next Slide: ticks at the typed interval, failures that do not stop it, and no
// pile of message boxes once the show has ended and nobody is there to press OK.
#include "platform/MessageBox.h"
#include "QvrFixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

using namespace std::chrono_literals;

class tst_AutoAdvance : public QObject {
    Q_OBJECT
private slots:
    void ticksPressNextSlideAtTheLoadedInterval();
    void failingTicksNeverStackBoxes();
    void failingTicksNeverStackRealBoxes();
};

void tst_AutoAdvance::ticksPressNextSlideAtTheLoadedInterval() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("10"));
    f.office.take();
    f.type("Text1", QStringLiteral("1")); // waits for the next Load Show
    f.clock.advance(9999ms);
    f.window->LongTimer1().check();
    QVERIFY(f.office.calls.isEmpty());
    for (int tick = 2; tick <= 4; ++tick) {
        f.clock.advance(10s);
        f.window->LongTimer1().check();
        QCOMPARE(f.text("txtSlideNum"), QString::number(tick));
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
        for (int tick = 0; tick < 500; ++tick) {
            f.clock.advance(1s);
            f.window->LongTimer1().check();
        }
    };
    f.clock.advance(1s);
    f.window->LongTimer1().check();
    QCOMPARE(f.office.calls.count(QStringLiteral("Next")), 501);
    QCOMPARE(f.messages.texts.size(), 1);
    QCOMPARE(f.messages.deepest, 1);

    // Once OK is pressed, each failing tick is reported again, and a pressed button always is.
    f.messages.whileOpen = nullptr;
    for (int tick = 0; tick < 3; ++tick) {
        f.clock.advance(1s);
        f.window->LongTimer1().check();
    }
    QCOMPARE(f.messages.texts.size(), 4);
    QCOMPARE(f.messages.deepest, 1);
    f.click("cmdNextSlide");
    QCOMPARE(f.messages.texts.size(), 5);
}

// The same with real modal boxes, a real clock and nobody pressing OK: the window keeps answering
// ticks, and there is never more than one box.
void tst_AutoAdvance::failingTicksNeverStackRealBoxes() {
    platform::QtMessageBox realBox;
    QvrFixture f(&realBox, true);
    f.office.slideCountOfNextDeck = 1;
    f.window->show();

    int mostBoxes = 0;
    bool done = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        QList<QMessageBox*> boxes;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible())
                boxes.append(box);
        mostBoxes = std::max(mostBoxes, int(boxes.size()));
        if (f.office.calls.count(QStringLiteral("Next")) >= 300 && !boxes.isEmpty()) {
            done = true;
            boxes.first()->accept();
        }
    });
    watcher.start(5);
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("0.002"));
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
    QCOMPARE(mostBoxes, 1);
    watcher.stop();
    f.window->LongTimer1().setEnabled(false);
}

QTEST_MAIN(tst_AutoAdvance)
#include "tst_AutoAdvance.moc"
