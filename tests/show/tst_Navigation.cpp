// Next Slide, Previous Slide and Goto: the calls each sends, the number the window shows after it
// and the one message each failure gives; and the number following the show when it moves alone.
#include "QvrFixture.h"

class tst_Navigation : public QObject {
    Q_OBJECT
private slots:
    void movesBeforeAnyShowFailOnce();
    void nextAndPreviousActivateMoveAndReadBack();
    void gotoSendsConvertedNumber_data();
    void gotoSendsConvertedNumber();
    void numberFollowsTheShow();
};

void tst_Navigation::movesBeforeAnyShowFailOnce() {
    QvrFixture f;
    f.type("txtGotoSlide", QStringLiteral("2"));
    for (const char* name : {"cmdNextSlide", "cmdPreviousSlide", "cmdGoto"})
        f.click(name);
    QCOMPARE(f.messages.texts.size(), 3);
    QVERIFY(f.messages.texts.filter(QRegularExpression("^Quenvar \\w")).size() == 3);
    QVERIFY(f.office.calls.isEmpty());
    QCOMPARE(f.text("txtSlideNum"), QString());
}

void tst_Navigation::nextAndPreviousActivateMoveAndReadBack() {
    QvrFixture f;
    f.office.slideCountOfNextDeck = 2;
    f.loadShow();
    f.office.take();
    f.click("cmdPreviousSlide"); // sent even on the first slide
    // The chain is fetched afresh for every step.
    QCOMPARE(f.office.take(), QStringList({"SlideShowWindow", "Activate", "SlideShowWindow",
                                           "Previous", "SlideShowWindow", "Slide", "SlideIndex"}));
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("1"));
    f.click("cmdNextSlide");
    QCOMPARE(f.office.take(), QStringList({"SlideShowWindow", "Activate", "SlideShowWindow", "Next",
                                           "SlideShowWindow", "Slide", "SlideIndex"}));
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    QVERIFY(f.messages.texts.isEmpty());
    // Past the end: one message, the old number, and the box still out of the operator's reach.
    f.click("cmdNextSlide");
    QCOMPARE(f.messages.texts, QStringList{"Fake Impress no slide is currently in view"});
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
}

void tst_Navigation::gotoSendsConvertedNumber_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");    // empty: nothing sent
    QTest::addColumn<QString>("shown");   // the display afterwards
    QTest::addColumn<QString>("message"); // empty: none
    QTest::newRow("plain") << "3"
                           << "GotoSlide 3 reset"
                           << "3"
                           << "";
    QTest::newRow("blanks, half to even") << " 3.5 "
                                          << "GotoSlide 4 reset"
                                          << "4"
                                          << "";
    QTest::newRow("letters") << "three"
                             << ""
                             << "1"
                             << "Quenvar Type mismatch";
    QTest::newRow("beyond 32 bits") << "2147483648"
                                    << ""
                                    << "1"
                                    << "Quenvar Overflow";
    QTest::newRow("refused") << "0"
                             << "GotoSlide 0 reset"
                             << "1"
                             << "Fake Impress no slide 0";
}

// Goto neither activates the show window nor reads the position back: it shows what it asked for.
void tst_Navigation::gotoSendsConvertedNumber() {
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QvrFixture f;
    f.loadShow();
    f.office.take();
    f.type("txtGotoSlide", typed);
    f.click("cmdGoto");
    QCOMPARE(f.office.take(),
             sent.isEmpty() ? QStringList() : QStringList({"SlideShowWindow", sent}));
    QCOMPARE(f.text("txtSlideNum"), shown);
    QCOMPARE(f.messages.texts, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(f.text("txtGotoSlide"), typed);
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
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
    f.click("cmdNextSlide");
    f.click("cmdNextSlide");
    f.click("cmdNextSlide");
    const qsizetype reported = f.messages.texts.size();
    f.office.decks.back()->ended = true;
    f.office.showMovesTo(5);
    QCOMPARE(f.messages.texts.size(), reported);
}

QTEST_MAIN(tst_Navigation)
#include "tst_Navigation.moc"
