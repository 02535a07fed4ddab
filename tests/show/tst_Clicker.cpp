// A clicker's key held down, which only the window's own event handling shows: the repeats that
// pile up while a move waits for the presentation program are dropped, later ones move a slide
// each, and a held blanking key blanks once.
#include "QvrFixture.h"

#include <QKeyEvent>

class tst_Clicker : public QObject {
    Q_OBJECT
private slots:
    void aHeldKeyMovesOneSlideARepeatAtMost();
};

namespace {

// A key press as the X server stamps it, in milliseconds.
void press(QWidget* to, Qt::Key key, quint64 at, bool autoRepeat) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    event.setTimestamp(at);
    QApplication::sendEvent(to, &event);
}

} // namespace

void tst_Clicker::aHeldKeyMovesOneSlideARepeatAtMost() {
    QvrFixture f;
    f.loadShow();
    QWidget* button = f.find("cmdNextSlide");
    button->setFocus();
    // The program takes 100 ms over the first move, while the key repeats.
    f.office.whileCalled = [] { QTest::qSleep(100); };
    press(button, Qt::Key_PageDown, 1000, false);
    for (quint64 at : {1040, 1080})
        press(button, Qt::Key_PageDown, at, true);
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    for (quint64 at : {1200, 1240})
        press(button, Qt::Key_Right, at, true);
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));

    press(button, Qt::Key_B, 1300, false);
    press(button, Qt::Key_B, 1340, true);
    QCOMPARE(f.office.decks.back()->state, show::ppSlideShowBlackScreen);
    QVERIFY(f.window->windowTitle().startsWith(QLatin1String("Projector blank (black)")));
}

QTEST_MAIN(tst_Clicker)
#include "tst_Clicker.moc"
