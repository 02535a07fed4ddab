// Load Show, step by step: what is asked of the presentation program and in which order, what the
// window's boxes and timer hold afterwards, and which one message a failure at each step gives.
#include "QvrFixture.h"

#include <QDialog>

class tst_LoadShow : public QObject {
    Q_OBJECT
private slots:
    void firstPressRunsShowThenAsksForInterval();
    void laterFailuresShowSourceAndDescription_data();
    void laterFailuresShowSourceAndDescription();
    void everyPressSetsTheTimerFromText1();
    void cancelledDialog();
    void placesShowByConfirmedNumbersOnly();
    void secondPressDrivesSecondPresentation();
};

void tst_LoadShow::firstPressRunsShowThenAsksForInterval() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QString());
    QCOMPARE(f.office.take(), QStringList({"CreateObject Powerpoint.Application", "Visible true",
                                           "Open /shows/first.ppt", "Run", "SlideShowWindow",
                                           "Left 769", "Top 0", "Width 768", "ActivePresentation",
                                           "Item 1", "SlideIndex", "ActivePresentation", "Count"}));
    QCOMPARE(f.events, QStringList({"topmost", "prepare"}));
    QCOMPARE(f.prompt.title, QStringLiteral("Load PowerPoint Presentation"));
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
    QVERIFY(f.box("txtLoadShow")->isEnabled());
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("1"));
    QCOMPARE(f.text("txtTotalslides"), QStringLiteral("5"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled() && !f.box("txtTotalslides")->isEnabled());
    QCOMPARE(f.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
    QVERIFY(f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 0.0f);

    // The request for an interval comes from the timer's interval, not from the box: a first
    // press that fails with a good interval typed still asks for one.
    QvrFixture g;
    g.office.failNext("Open");
    g.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("10"));
    QCOMPARE(g.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
}

void tst_LoadShow::laterFailuresShowSourceAndDescription_data() {
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<bool>("numbersRewritten");
    QTest::newRow("no program") << "CreateObject" << false;
    QTest::newRow("not visible") << "Visible" << false;
    QTest::newRow("file refused") << "Open" << false;
    QTest::newRow("show refused") << "Run" << false;
    QTest::newRow("no show window") << "SlideShowWindow" << false;
    QTest::newRow("not placed") << "Top" << false;
    QTest::newRow("no count") << "Count" << true;
}

// After a press that set an interval, a failure at any step ends the press there with one
// message: the failing component's name and what it said. Nothing done before is undone.
void tst_LoadShow::laterFailuresShowSourceAndDescription() {
    QFETCH(QString, failingCall);
    QFETCH(bool, numbersRewritten);
    QvrFixture f;
    f.loadShow();
    f.window->cmdNextSlide_Click();
    f.office.take();
    f.office.failNext(failingCall, QStringLiteral("did not answer"));
    f.loadShow(QStringLiteral("/shows/second.ppt"), QStringLiteral("4"));

    QCOMPARE(f.messages.texts, QStringList{"Fake Impress did not answer"});
    QVERIFY(f.office.calls.last().startsWith(failingCall));
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/second.ppt"));
    QCOMPARE(f.text("txtSlideNum"), numbersRewritten ? QStringLiteral("1") : QStringLiteral("2"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
    QCOMPARE(f.window->LongTimer1().interval(), 10.0f);
}

// The timer takes the box's number at every successful press, and keeps its interval when the
// box holds no number (the show still runs).
void tst_LoadShow::everyPressSetsTheTimerFromText1() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral(" 2.5 "));
    QCOMPARE(f.window->LongTimer1().interval(), 2.5f);
    f.loadShow(QStringLiteral("/shows/second.ppt"), QStringLiteral("7"));
    QCOMPARE(f.window->LongTimer1().interval(), 7.0f);
    QVERIFY(f.messages.texts.isEmpty());
    f.loadShow(QStringLiteral("/shows/third.ppt"), QStringLiteral("ten"));
    QCOMPARE(f.messages.texts, QStringList{"Quenvar Type mismatch"});
    QVERIFY(f.office.decks[2]->running);
    QVERIFY(f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 7.0f);
}

void tst_LoadShow::cancelledDialog() {
    QvrFixture f;
    f.prompt.answer.reset();
    f.click("cmdLoadShow");
    QCOMPARE(f.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
    QVERIFY(f.office.calls.isEmpty());
    f.loadShow();
    f.office.take();
    f.prompt.answer.reset();
    f.click("cmdLoadShow");
    QCOMPARE(f.messages.texts.last(), QStringLiteral("Quenvar Cancel was selected."));
    QVERIFY(f.office.calls.isEmpty());
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
}

// Load Show reads the numbers without showing their window; only OK's numbers place the show.
void tst_LoadShow::placesShowByConfirmedNumbersOnly() {
    QvrFixture f;
    f.loadShow();
    QVERIFY(!f.window->frmScreen().window());
    QCOMPARE(f.forms.count(), 1);
    f.click("cmdLoadScreenNum");
    QDialog* numbers = f.window->frmScreen().window();
    numbers->findChild<QLineEdit*>(QStringLiteral("txtLeft"))->setText(QStringLiteral(" -1024 "));
    numbers->findChild<QLineEdit*>(QStringLiteral("txtTop"))->setText(QStringLiteral("32767"));
    numbers->findChild<QLineEdit*>(QStringLiteral("txtWidth"))->setText(QStringLiteral("768.5"));
    QTest::mouseClick(numbers->findChild<QPushButton*>(QStringLiteral("OKButton")), Qt::LeftButton);
    f.office.take();
    f.loadShow();
    QCOMPARE(f.office.calls.mid(f.office.calls.indexOf("SlideShowWindow") + 1, 3),
             QStringList({"Left -1024", "Top 32767", "Width 768"}));
}

void tst_LoadShow::secondPressDrivesSecondPresentation() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"));
    f.office.slideCountOfNextDeck = 12;
    f.loadShow(QStringLiteral("/shows/second.ppt"));
    QCOMPARE(f.text("txtTotalslides"), QStringLiteral("12"));
    f.window->cmdNextSlide_Click();
    QCOMPARE(f.office.decks[0]->current, 1);
    QCOMPARE(f.office.decks[1]->current, 2);
    QVERIFY(f.office.decks[0]->running); // left running, never stopped
    QCOMPARE(f.office.calls.count(QStringLiteral("CreateObject Powerpoint.Application")), 2);
}

QTEST_MAIN(tst_LoadShow)
#include "tst_LoadShow.moc"
