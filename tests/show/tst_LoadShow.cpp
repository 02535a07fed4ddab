// Load Show, step by step: what is asked of the presentation program and in which order, what the
// window's boxes and timer hold afterwards, and which one message a failure at each step gives.
#include "QvrFixture.h"

class tst_LoadShow : public QObject {
    Q_OBJECT
private slots:
    void firstPressRunsShowThenAsksForInterval();
    void everyPressSetsTheTimerFromText1();
    void cancelledDialogAndConfirmedNumbers();
};

void tst_LoadShow::firstPressRunsShowThenAsksForInterval() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QString());
    QCOMPARE(f.office.take(), QStringList({"CreateObject Powerpoint.Application", "Visible true",
                                           "Open /shows/first.ppt", "Run", "SlideShowWindow",
                                           "Left 769", "Top 0", "Width 768", "ActivePresentation",
                                           "Item 1", "SlideIndex", "ActivePresentation", "Count"}));
    QCOMPARE(f.events, QStringList({"topmost", "prepare"}));
    QCOMPARE(f.promptTitle, QStringLiteral("Load PowerPoint Presentation"));
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
    QVERIFY(f.box("txtLoadShow")->isEnabled());
    QCOMPARE(f.text("txtSlideNum") + f.text("txtTotalslides"), QStringLiteral("15"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled() && !f.box("txtTotalslides")->isEnabled());
    QCOMPARE(f.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
    QVERIFY(f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 0.0f);
    // The numbers are read without showing their window.
    QVERIFY(!f.window->frmScreen().window() && f.forms.count() == 1);

    // The request for an interval comes from the timer's interval, not from the box: a first
    // press that fails with a good interval typed still asks for one.
    QvrFixture g;
    g.office.failNext("Open");
    g.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("10"));
    QCOMPARE(g.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
}

// Every successful press makes a new application, drives the new presentation and gives the timer
// the box's number; a box without a number leaves the timer's interval (the show still runs).
void tst_LoadShow::everyPressSetsTheTimerFromText1() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral(" 2.5 "));
    QCOMPARE(f.window->LongTimer1().interval(), 2.5f);
    f.office.slideCountOfNextDeck = 12;
    f.loadShow(QStringLiteral("/shows/second.ppt"), QStringLiteral("7"));
    QCOMPARE(f.window->LongTimer1().interval(), 7.0f);
    QCOMPARE(f.text("txtTotalslides"), QStringLiteral("12"));
    f.window->cmdNextSlide_Click();
    QVERIFY(f.office.decks[0]->current == 1 && f.office.decks[0]->running);
    QCOMPARE(f.office.decks[1]->current, 2);
    QCOMPARE(f.office.calls.count(QStringLiteral("CreateObject Powerpoint.Application")), 2);
    QVERIFY(f.messages.texts.isEmpty());
    f.loadShow(QStringLiteral("/shows/third.ppt"), QStringLiteral("ten"));
    QCOMPARE(f.messages.texts, QStringList{"Quenvar Type mismatch"});
    QVERIFY(f.office.decks[2]->running && f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 7.0f);
}

// A cancelled dialog before any show asks for an interval, later says so; neither calls the
// program. Only numbers confirmed with OK place the show.
void tst_LoadShow::cancelledDialogAndConfirmedNumbers() {
    QvrFixture f;
    f.click("cmdLoadShow");
    QCOMPARE(f.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
    QVERIFY(f.office.calls.isEmpty());
    f.loadShow();
    f.office.take();
    f.answer.reset();
    f.click("cmdLoadShow");
    QCOMPARE(f.messages.texts.last(), QStringLiteral("Quenvar Cancel was selected."));
    QVERIFY(f.office.calls.isEmpty());
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));

    f.confirmNumbers({" -1024 ", "32767", "768.5"});
    f.loadShow();
    QCOMPARE(f.office.calls.mid(f.office.calls.indexOf("SlideShowWindow") + 1, 3),
             QStringList({"Left -1024", "Top 32767", "Width 768"}));
}

QTEST_MAIN(tst_LoadShow)
#include "tst_LoadShow.moc"
