// The control window as the operator meets it: made topmost before it is first shown, its layout,
// the order Tab goes through the controls, the access keys, the link label, and closing it.
#include "QvrFixture.h"

#include <QLabel>

class tst_ControlWindow : public QObject {
    Q_OBJECT
private slots:
    void layoutAndTabOrder();
    void accessKeysAndLinkLabel();
    void closingUnloadsOtherWindowsAndLeavesTheShowRunning();
};

// The display boxes are passed over while disabled; the path box joins once Load Show enabled it.
void tst_ControlWindow::layoutAndTabOrder() {
    QvrFixture f;
    QCOMPARE(f.events, QStringList{"topmost"}); // while still hidden
    QCOMPARE(f.forms.at(0), f.window.get());
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Quenvar-Dual Monitor"));
    QCOMPARE(f.window->size(), QSize(282, 229));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.find("cmdLoadShow")->geometry(), QRect(99, 64, 84, 43));
    QStringList captions;
    for (const QObject* control : f.window->children())
        captions.append(control->property("text").toString());
    for (const char* caption : {" &Goto Slide   Number", "Slide Num", "&Next  Slide", "&Load Show",
                                "   &Previous    Slide", "Current Slide Show", "Total Slides",
                                "    Load &Display    Numbers", "Timer"})
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
    const QStringList order{"cmdGoto",          "txtGotoSlide",     "cmdNextSlide", "cmdLoadShow",
                            "cmdPreviousSlide", "cmdLoadScreenNum", "Text1"};
    QCOMPARE(cycle(), order + QStringList{"cmdGoto"});
    f.loadShow();
    QCOMPARE(cycle(), order + QStringList{"txtLoadShow"});
}

// An access key clicks its button at once. The link label is red while the pointer is on it, blue
// again only once it crosses the bare background; a click opens the maker's address.
void tst_ControlWindow::accessKeysAndLinkLabel() {
    QvrFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    f.answer = QStringLiteral("/shows/first.ppt");
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

// Every other window of the program is unloaded first, then the program ends, and nothing at all
// is asked of the presentation program.
void tst_ControlWindow::closingUnloadsOtherWindowsAndLeavesTheShowRunning() {
    QvrFixture f;
    f.window->show();
    f.loadShow();
    f.office.take();
    // Confirmed once and closed, then shown again and typed into without OK.
    f.confirmNumbers({"769", "0", "768"});
    f.click("cmdLoadScreenNum");
    QPointer<QDialog> numbers = f.window->frmScreen().window();
    numbers->findChild<QLineEdit*>(QStringLiteral("txtLeft"))->setText(QStringLiteral("5"));
    QCOMPARE(f.forms.at(1), numbers.data()); // second, in load order
    f.window->close();
    QCOMPARE(f.forms.count(), 1);
    QTRY_VERIFY(!numbers);
    QCOMPARE(f.events.mid(2), QStringList({"release", "end"}));
    f.window.reset();
    // Dropping the window releases its references without a call: the show runs on.
    QVERIFY(f.office.calls.isEmpty());
    QVERIFY(f.office.decks[0]->running);
}

QTEST_MAIN(tst_ControlWindow)
#include "tst_ControlWindow.moc"
