// The control window over the fake presentation program, as the operator meets it: its layout,
// keys and link label; Load Show, Next, Previous, Goto and the timer; and closing it.
#include "tests/support/Qvr.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

class tst_frmQvr : public QObject {
    Q_OBJECT
private slots:
    // Disabled boxes are passed over: the path box joins once Load Show enabled it. The link label
    // stays red over a control and turns blue again only over the bare background.
    void layoutKeysAndLinkLabel() {
        Qvr f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Quenvar-Dual Monitor"));
        QCOMPARE(f.window->size(), QSize(282, 229));
        QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
        QCOMPARE(f.find("cmdLoadShow")->geometry(), QRect(99, 64, 84, 43));
        QStringList captions;
        for (const QObject* control : f.window->children())
            captions.append(control->property("text").toString());
        for (const char* caption : {" &Goto Slide   Number", "Slide Num", "&Next  Slide",
                                    "&Load Show", "   &Previous    Slide", "Current Slide Show",
                                    "Total Slides", "    Load &Display    Numbers", "Timer"})
            QVERIFY2(captions.contains(QLatin1String(caption)), caption);

        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        auto cycle = [&f] {
            QStringList names;
            f.find("cmdGoto")->setFocus();
            for (int step = 0; step < 8; ++step) {
                names.append(QApplication::focusWidget()->objectName());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            return names;
        };
        const QStringList order{"cmdGoto",     "txtGotoSlide",     "cmdNextSlide",
                                "cmdLoadShow", "cmdPreviousSlide", "cmdLoadScreenNum",
                                "Text1"};
        QCOMPARE(cycle(), order + QStringList{"cmdGoto"});
        f.loadShow();
        QCOMPARE(cycle(), order + QStringList{"txtLoadShow"});

        f.office.take();
        f.type("txtGotoSlide", QStringLiteral("3"));
        for (const auto& [key, call] : {std::pair{Qt::Key_L, "Open /shows/first.ppt"},
                                        {Qt::Key_N, "Next"},
                                        {Qt::Key_P, "Previous"},
                                        {Qt::Key_G, "GotoSlide 3 reset"}}) {
            QTest::keyClick(f.window.get(), key, Qt::AltModifier);
            QVERIFY2(f.office.take().contains(call), call);
        }
        QTest::keyClick(f.window.get(), Qt::Key_D, Qt::AltModifier);
        QTRY_VERIFY(f.window->frmScreen().window() && f.window->frmScreen().window()->isVisible());
        f.window->frmScreen().Unload();

        auto* label = f.find<QLabel>("Label1");
        auto colour = [label] { return label->palette().color(QPalette::WindowText); };
        QCOMPARE(colour(), QColor(0, 0, 255));
        QTest::mouseMove(label, label->rect().center());
        QTRY_COMPARE(colour(), QColor(255, 0, 0));
        QTest::mouseMove(f.find("cmdLoadScreenNum"), QPoint(5, 5));
        QCOMPARE(colour(), QColor(255, 0, 0));
        QTest::mouseMove(f.window.get(), QPoint(2, 224));
        QTRY_COMPARE(colour(), QColor(0, 0, 255));
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(f.events.last(), show::kMakerAddress);
    }

    // Every other window of the program is unloaded first, then the program ends, and nothing at
    // all is asked of the presentation program.
    void closingUnloadsOtherWindowsAndLeavesTheShowRunning() {
        Qvr f;
        f.window->show();
        f.loadShow();
        f.office.take();
        // Confirmed once and closed, then shown again.
        f.confirmNumbers({"769", "0", "768"});
        f.click("cmdLoadScreenNum");
        QPointer<QDialog> numbers = f.window->frmScreen().window();
        f.window->close();
        QCOMPARE(f.forms.count(), 1);
        QTRY_VERIFY(!numbers);
        QCOMPARE(f.events.mid(2), QStringList({"release", "end"}));
        f.window.reset();
        QVERIFY(f.office.calls.isEmpty()); // released without a call: the show runs on
    }

    // Made topmost first, the program is readied as the dialog opens; the show runs before it is
    // placed.
    void loadShowRunsPlacesFillsTheBoxesAndSaysWhatFailed() {
        Qvr f;
        f.loadShow(QStringLiteral("/shows/first.ppt"), QString());
        QVERIFY(f.asked({"CreateObject Powerpoint.Application", "Visible true",
                         "Open /shows/first.ppt", "Run", "Left 769", "Top 0", "Width 768"}));
        QCOMPARE(f.events, QStringList({"topmost", "prepare"}));
        QCOMPARE(f.promptTitle, QStringLiteral("Load PowerPoint Presentation"));
        QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
        QCOMPARE(f.text("txtSlideNum") + f.text("txtTotalslides"), QStringLiteral("15"));
        QVERIFY(!f.find("txtSlideNum")->isEnabled() && !f.find("txtTotalslides")->isEnabled());
        QCOMPARE(f.messages.texts,
                 QStringList{"Please enter timer interval before loading PPT file."});
        QVERIFY(f.window->LongTimer1().Enabled());
        // The numbers are read without showing their window.
        QVERIFY(!f.window->frmScreen().window() && f.forms.count() == 1);

        // Confirmed numbers place the next show. Only a missing interval asks for one; any other
        // failure says its source and description, also while the timer has no interval.
        f.confirmNumbers({" -1024 ", "32767", "768.5"});
        f.office.take();
        f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral("1e39"));
        QVERIFY(f.asked({"Run", "Left -1024", "Top 32767", "Width 768"}));
        f.office.failNext(QStringLiteral("Run"));
        f.loadShow(QStringLiteral("/shows/first.ppt"), QString());
        QCOMPARE(f.messages.texts.mid(1),
                 QStringList({"Quenvar Overflow", "Fake Impress refused"}));
    }

    // A cancelled dialog loads nothing and says nothing. While the dialog is open a tick waits (a
    // box would take the keys typed there) and runs after it.
    void cancelledDialogDoesNothingAndTicksWaitForIt() {
        Qvr f;
        f.click("cmdLoadShow");
        QVERIFY(f.messages.texts.isEmpty() && f.office.calls.isEmpty());
        QVERIFY(!f.find("txtLoadShow")->isEnabled() && !f.window->LongTimer1().Enabled());

        f.loadShow();
        f.office.take();
        f.answer.reset();
        qsizetype movedDuringDialog = -1;
        f.whilePrompting = [&f, &movedDuringDialog] {
            f.tick(10s);
            movedDuringDialog = f.office.calls.size();
        };
        f.click("cmdLoadShow");
        QCOMPARE(movedDuringDialog, 0);
        QTRY_COMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
        QVERIFY(f.messages.texts.isEmpty());
        QCOMPARE(f.text("txtLoadShow"), QStringLiteral("/shows/first.ppt"));
        QCOMPARE(f.window->LongTimer1().interval(), 10.0f);
    }

    // Every press makes a new application and show, leaving the one before running. A tick that
    // fell due while Load Show waited was for the show before: the new one waits a whole interval.
    void everyPressRunsANewShowOnItsFirstSlideForAWholeInterval() {
        Qvr f;
        f.loadShow(QStringLiteral("/shows/first.ppt"), QStringLiteral(" 2.5 "));
        f.office.slideCountOfNextDeck = 12;
        f.office.whileCalled = [&f] { f.tick(10s); };
        f.loadShow(QStringLiteral("/shows/second.ppt"), QStringLiteral("10"));
        QCOMPARE(f.window->LongTimer1().interval(), 10.0f);
        QCOMPARE(f.text("txtTotalslides"), QStringLiteral("12"));
        QCoreApplication::processEvents();
        f.tick(9999ms);
        QCOMPARE(f.office.calls.count("Next"), 0);
        f.tick(1ms);
        QCOMPARE(f.office.decks[0]->current, 1);
        QCOMPARE(f.office.decks[1]->current, 2);
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
        QCOMPARE(f.office.calls.count("CreateObject Powerpoint.Application"), 2);
        QVERIFY(f.messages.texts.isEmpty());

        f.tick(5s);
        f.loadShow(QStringLiteral("/shows/third.ppt"), QStringLiteral("ten"));
        QCOMPARE(f.messages.texts, QStringList{"Quenvar Type mismatch"});
        QVERIFY(f.window->LongTimer1().Enabled() && f.window->LongTimer1().interval() == 10.0f);
        f.tick(9999ms);
        QCOMPARE(f.office.decks[2]->current, 1);
        f.tick(1ms);
        QCOMPARE(f.office.decks[2]->current, 2);
    }

    void nextAndPreviousActivateMoveAndReadBack() {
        Qvr f;
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
        QVERIFY(f.asked({"Activate", "Previous"}));
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("1"));
        f.click("cmdNextSlide");
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
        QVERIFY(f.messages.texts.isEmpty());
        // Past the end: one message, the old number, and the box still out of the operator's reach.
        f.click("cmdNextSlide");
        QCOMPARE(f.messages.texts, QStringList{"Fake Impress no slide is currently in view"});
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
        QVERIFY(!f.find("txtSlideNum")->isEnabled());
    }

    void gotoSendsConvertedNumber_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("shownThenSaid");
        QTest::newRow("whole") << "3" << QStringList{"GotoSlide 3 reset"} << QStringList{"3"};
        QTest::newRow("blanks, half to even")
            << " 3.5 " << QStringList{"GotoSlide 4 reset"} << QStringList{"4"};
        QTest::newRow("no number")
            << "three" << QStringList() << QStringList{"1", "Quenvar Type mismatch"};
        QTest::newRow("past the last slide") << "40000" << QStringList{"GotoSlide 40000 reset"}
                                             << QStringList{"1", "Fake Impress no slide 40000"};
        QTest::newRow("beyond Long")
            << "2147483648" << QStringList() << QStringList{"1", "Quenvar Overflow"};
        QTest::newRow("slide 0") << "0" << QStringList{"GotoSlide 0 reset"}
                                 << QStringList{"1", "Fake Impress no slide 0"};
    }
    // Goto neither activates the show window nor reads the position back: it shows what it asked
    // for, and a failure leaves the number as it was.
    void gotoSendsConvertedNumber() {
        QFETCH(QString, typed);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, shownThenSaid);
        Qvr f;
        f.loadShow();
        f.office.take();
        f.type("txtGotoSlide", typed);
        f.click("cmdGoto");
        QCOMPARE(f.office.calls, sent);
        QCOMPARE(QStringList{f.text("txtSlideNum")} + f.messages.texts, shownThenSaid);
        QVERIFY(!f.find("txtSlideNum")->isEnabled());
    }

    // A show that moves by itself, or by a hand at the show window, is followed by the number, read
    // from the program. While a press waits for the program, the event waits for the press.
    void numberFollowsTheShow() {
        Qvr f;
        f.loadShow();
        f.office.showMovesTo(4);
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));

        f.office.take();
        f.office.whileCalled = [&f] { f.office.showMovesTo(2); };
        f.click("cmdNextSlide");
        QTRY_COMPARE(f.office.calls.count("Slide"), 2);
        QVERIFY(f.asked({"Next", "Slide", "Slide"}));
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("3"));

        // An ended show is not reported by the event: nobody pressed anything.
        f.office.decks.back()->ended = true;
        f.office.showMovesTo(5);
        QVERIFY(f.messages.texts.isEmpty());
    }

    // Once the show has ended and nobody is there to press OK, failing ticks open no second box; a
    // tick during a press waits for it.
    void ticksPressNextSlideAndNeverStackBoxes() {
        Qvr f;
        f.office.slideCountOfNextDeck = 1; // the first tick ends the show
        f.loadShow();
        f.office.take();
        f.messages.whileOpen = [&f] {
            for (int tick = 0; tick < 500; ++tick)
                f.tick(10s);
        };
        f.tick(10s);
        QCOMPARE(f.office.calls.count("Next"), 501);
        QCOMPARE(f.messages.texts.size(), 1);
        // Once OK is pressed, each failing tick is reported again, and a pressed button always is.
        f.messages.whileOpen = nullptr;
        f.tick(10s);
        f.click("cmdNextSlide");
        QCOMPARE(f.messages.texts.size(), 3);

        f.office.take();
        f.office.whileCalled = [&f] { f.tick(10s); };
        f.click("cmdPreviousSlide");
        QTRY_COMPARE(f.office.calls.count("Next"), 1);
        QVERIFY(f.asked({"Previous", "Next"}));
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("1"));
    }
    // The repeats of a clicker's key that pile up while a move waits for the program are dropped;
    // later ones move a slide each; a held b blanks the projector once.
    void aHeldClickerKeyMovesOneSlideARepeatAtMost() {
        Qvr f;
        f.loadShow();
        // at: the X server's time, in ms
        auto send = [&f](QEvent::Type type, Qt::Key key, quint64 at, bool autoRepeat) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
            event.setTimestamp(at);
            QApplication::sendEvent(f.find("cmdNextSlide"), &event);
        };
        f.office.whileCalled = [] { QTest::qSleep(100); }; // a slow first move
        send(QEvent::KeyPress, Qt::Key_PageDown, 1000, false);
        // A repeat is a release and a press stamped alike, which Qt does not always mark.
        for (quint64 at : {1040, 1080}) {
            send(QEvent::KeyRelease, Qt::Key_PageDown, at, false);
            send(QEvent::KeyPress, Qt::Key_PageDown, at, at == 1040);
        }
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("2"));
        for (quint64 at : {1200, 1240})
            send(QEvent::KeyPress, Qt::Key_Right, at, true);
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
        send(QEvent::KeyPress, Qt::Key_B, 1300, false);
        send(QEvent::KeyPress, Qt::Key_B, 1340, true);
        // The timer leaves a blank projector blank.
        f.tick(10s);
        QCOMPARE(f.office.decks.back()->state, show::ppSlideShowBlackScreen);
        QCOMPARE(f.text("txtSlideNum"), QStringLiteral("4"));
    }
};

QTEST_MAIN(tst_frmQvr)
#include "tst_frmQvr.moc"
