// Load Show, step by step: what is asked of the presentation program and in which order, what the
// window's boxes and timer hold afterwards, and which one message a failure at each step gives.
#include "QvrFixture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>

class tst_LoadShow : public QObject {
    Q_OBJECT
private slots:
    void firstPressWithoutIntervalRunsShowThenAsksForOne();
    void laterFailuresShowSourceAndDescription_data();
    void laterFailuresShowSourceAndDescription();
    void intervalStartsTimerAndBadOneKeepsIt();
    void cancelledDialog();
    void dialogIsPreset();
    void confirmedNumbersPlaceShow();
    void secondPressDrivesSecondPresentation();
    void busyCursorOnlyWhileOfficeWorks();
};

void tst_LoadShow::firstPressWithoutIntervalRunsShowThenAsksForOne() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QString());

    QCOMPARE(f.office.take(), QStringList({"CreateObject Powerpoint.Application", "Visible true",
                                           "Open /shows/first.ppt", "Run", "SlideShowWindow",
                                           "Left 769", "Top 0", "Width 768", "ActivePresentation",
                                           "Item 1", "SlideIndex", "ActivePresentation", "Count"}));
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
    QVERIFY(f.box("txtLoadShow")->isEnabled());
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("1"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
    QCOMPARE(f.text("txtTotalslides"), QStringLiteral("5"));
    QVERIFY(!f.box("txtTotalslides")->isEnabled());
    QCOMPARE(f.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
    QVERIFY(f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 0.0f);
}

void tst_LoadShow::laterFailuresShowSourceAndDescription_data() {
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<QString>("lastCall");
    QTest::addColumn<bool>("numbersRewritten");
    const auto row = [](const char* name, const char* failing, const char* last, bool rewritten) {
        QTest::newRow(name) << failing << last << rewritten;
    };
    row("no program", "CreateObject", "CreateObject Powerpoint.Application", false);
    row("not visible", "Visible", "Visible true", false);
    row("file refused", "Open", "Open /shows/second.ppt", false);
    row("show refused", "Run", "Run", false);
    row("no show window", "SlideShowWindow", "SlideShowWindow", false);
    row("not placed", "Top", "Top 0", false);
    row("no count", "Count", "Count", true);
}

// After a press that set an interval, a failure at any step ends the press there with one
// message: the failing component's name and what it said.
void tst_LoadShow::laterFailuresShowSourceAndDescription() {
    QFETCH(QString, failingCall);
    QFETCH(QString, lastCall);
    QFETCH(bool, numbersRewritten);
    QvrFixture f;
    f.loadShow();
    f.window->cmdNextSlide_Click();
    QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
    f.office.take();

    f.office.slideCountOfNextDeck = 9;
    f.office.failNext(failingCall, QStringLiteral("did not answer"));
    f.loadShow(QStringLiteral("/shows/second.ppt"), QStringLiteral("4"));

    QCOMPARE(f.messages.texts, QStringList{"Fake Impress did not answer"});
    QCOMPARE(f.office.calls.last(), lastCall);
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/second.ppt"));
    QCOMPARE(f.text("txtSlideNum"), numbersRewritten ? QStringLiteral("1") : QStringLiteral("2"));
    QCOMPARE(f.text("txtTotalslides"), QStringLiteral("5"));
    QVERIFY(!f.box("txtSlideNum")->isEnabled());
    QCOMPARE(f.window->LongTimer1().interval(), 10.0f);
}

void tst_LoadShow::intervalStartsTimerAndBadOneKeepsIt() {
    QvrFixture f;
    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral(" 2.5 "));
    QVERIFY(f.messages.texts.isEmpty());
    QVERIFY(f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 2.5f);
    f.loadShow(QStringLiteral("/shows/second.ppt"), QStringLiteral("ten"));
    QCOMPARE(f.messages.texts, QStringList{"Quenvar Type mismatch"});
    QCOMPARE(f.office.decks.size(), size_t(2));
    QVERIFY(f.office.decks[1]->running);
    QVERIFY(f.window->LongTimer1().Enabled());
    QCOMPARE(f.window->LongTimer1().interval(), 2.5f);
}

void tst_LoadShow::cancelledDialog() {
    QvrFixture f;
    f.prompt.answer.reset();
    f.click("cmdLoadShow");
    // Before any interval was set, every failure asks for one.
    QCOMPARE(f.messages.texts, QStringList{"Please enter timer interval before loading PPT file."});
    QVERIFY(f.office.calls.isEmpty());
    QVERIFY(f.box("txtLoadShow")->isEnabled());

    f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("10"));
    f.office.take();
    f.messages.texts.clear();
    f.prompt.answer.reset();
    f.click("cmdLoadShow");
    QCOMPARE(f.messages.texts, QStringList{"Quenvar Cancel was selected."});
    QVERIFY(f.office.calls.isEmpty());
    QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
}

void tst_LoadShow::dialogIsPreset() {
    QvrFixture f;
    f.loadShow();
    QCOMPARE(f.prompt.title, QStringLiteral("Load PowerPoint Presentation"));
    QCOMPARE(f.prompt.directory, QDir::homePath());
    const QStringList filters = f.prompt.filters.split(QStringLiteral(";;"));
    QVERIFY(filters.first().contains(QStringLiteral("(*.ppt ")));
    for (const char* pattern : {"(*.ppt)", "(*.pptx)", "(*.pps)", "(*.ppsx)", "(*.odp)", "(*)"})
        QVERIFY2(filters.filter(QLatin1String(pattern)).size() == 1, pattern);
}

// The numbers go through the same conversion as the boxes' own tests check; here only that each
// confirmed number reaches its own property of the show window.
void tst_LoadShow::confirmedNumbersPlaceShow() {
    QvrFixture f;
    f.click("cmdLoadScreenNum");
    QDialog* numbers = f.window->frmScreen().window();
    QVERIFY(numbers && numbers->isVisible());
    numbers->findChild<QLineEdit*>(QStringLiteral("txtLeft"))->setText(QStringLiteral(" -1024 "));
    numbers->findChild<QLineEdit*>(QStringLiteral("txtTop"))->setText(QStringLiteral("32767"));
    numbers->findChild<QLineEdit*>(QStringLiteral("txtWidth"))->setText(QStringLiteral("768.5"));
    QTest::mouseClick(numbers->findChild<QPushButton*>(QStringLiteral("OKButton")), Qt::LeftButton);
    QTRY_VERIFY(!f.window->frmScreen().window());

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

void tst_LoadShow::busyCursorOnlyWhileOfficeWorks() {
    QvrFixture f;
    bool arrowAtMessage = false;
    f.messages.whileOpen = [&] { arrowAtMessage = !QApplication::overrideCursor(); };
    f.office.failNext("Count");
    f.loadShow();
    QVERIFY(arrowAtMessage);
    QCOMPARE(f.prompt.cursor, Qt::ArrowCursor);
    QCOMPARE(f.cursorAtCreate, Qt::WaitCursor);
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(tst_LoadShow)
#include "tst_LoadShow.moc"
