// Next Slide, Previous Slide and Goto: the calls each sends, the number the window shows after it,
// and the one message each failure gives.
#include "QvrFixture.h"

class tst_Navigation : public QObject {
    Q_OBJECT
private slots:
    void movesBeforeAnyShowFailOnce();
    void nextAndPreviousActivateMoveAndReadBack();
    void pastLastSlideKeepsOldNumber();
    void gotoSendsConvertedNumber_data();
    void gotoSendsConvertedNumber();
    void gotoRefusedKeepsDisplay();
};

void tst_Navigation::movesBeforeAnyShowFailOnce() {
    QvrFixture f;
    f.type("txtGotoSlide", QStringLiteral("2"));
    for (const char* name : {"cmdNextSlide", "cmdPreviousSlide", "cmdGoto"}) {
        f.messages.texts.clear();
        f.click(name);
        QCOMPARE(f.messages.texts.size(), 1);
        QVERIFY(f.messages.texts.first().startsWith(QStringLiteral("Quenvar ")));
    }
    QVERIFY(f.office.calls.isEmpty());
    QCOMPARE(f.text("txtSlideNum"), QString());
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
}

void tst_Navigation::nextAndPreviousActivateMoveAndReadBack() {
    QvrFixture f;
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
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
    QVERIFY(f.messages.texts.isEmpty());
}

void tst_Navigation::pastLastSlideKeepsOldNumber() {
    QvrFixture f;
    f.office.slideCountOfNextDeck = 2;
    f.loadShow();
    f.click("cmdNextSlide");
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    f.click("cmdNextSlide");
    QCOMPARE(f.messages.texts, QStringList{"Fake Impress no slide is currently in view"});
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    // Out of the operator's reach even though the index could not be read.
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
    f.click("cmdPreviousSlide");
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    QCOMPARE(f.messages.texts.size(), 1);
}

void tst_Navigation::gotoSendsConvertedNumber_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");    // empty: nothing sent
    QTest::addColumn<QString>("shown");   // the display afterwards
    QTest::addColumn<QString>("message"); // empty: none
    const auto row = [](const char* name, const char* typed, const char* sent, const char* shown,
                        const char* message) {
        QTest::newRow(name) << typed << sent << shown << message;
    };
    row("plain", "3", "GotoSlide 3 reset", "3", "");
    row("blanks, half up to even", " 3.5 ", "GotoSlide 4 reset", "4", "");
    row("letters", "three", "", "1", "Quenvar Type mismatch");
    row("beyond 16 bits", "40000", "GotoSlide 40000 reset", "1", "Fake Impress no slide 40000");
    row("beyond 32 bits", "2147483648", "", "1", "Quenvar Overflow");
    row("zero is sent", "0", "GotoSlide 0 reset", "1", "Fake Impress no slide 0");
    row("past the end is sent", "11", "GotoSlide 11 reset", "1", "Fake Impress no slide 11");
}

void tst_Navigation::gotoSendsConvertedNumber() {
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QvrFixture f;
    f.office.slideCountOfNextDeck = 10;
    f.loadShow();
    f.office.take();
    f.type("txtGotoSlide", typed);
    f.click("cmdGoto");
    // Goto neither activates the show window nor reads the position back.
    QCOMPARE(f.office.take(),
             sent.isEmpty() ? QStringList() : QStringList({"SlideShowWindow", sent}));
    QCOMPARE(f.text("txtSlideNum"), shown);
    QCOMPARE(f.messages.texts, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(f.text("txtGotoSlide"), typed);
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
}

void tst_Navigation::gotoRefusedKeepsDisplay() {
    QvrFixture f;
    f.loadShow();
    f.type("txtGotoSlide", QStringLiteral("4"));
    f.click("cmdGoto");
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
    f.office.failNext("GotoSlide", QStringLiteral("show ended"));
    f.type("txtGotoSlide", QStringLiteral("2"));
    f.click("cmdGoto");
    QCOMPARE(f.messages.texts, QStringList{"Fake Impress show ended"});
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
}

QTEST_MAIN(tst_Navigation)
#include "tst_Navigation.moc"
