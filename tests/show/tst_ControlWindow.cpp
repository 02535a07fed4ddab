// The control window as the operator meets it: made topmost before it is first shown, its layout,
// the order Tab goes through the controls, the access keys, and the link label.
#include "QvrFixture.h"

#include <QDialog>
#include <QLabel>

class tst_ControlWindow : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void tabOrder();
    void accessKeys_data();
    void accessKeys();
    void linkLabel();
};

void tst_ControlWindow::layout() {
    QvrFixture f;
    QCOMPARE(f.events, QStringList{"topmost"}); // while still hidden
    QCOMPARE(f.forms.at(0), f.window.get());
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Quenvar-Dual Monitor"));
    QCOMPARE(f.window->size(), QSize(282, 229));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.find("cmdLoadShow")->geometry(), QRect(99, 64, 84, 43));
    for (const char* display : {"txtLoadShow", "txtSlideNum", "txtTotalslides"})
        QVERIFY(!f.box(display)->isEnabled());
    QStringList captions;
    for (const QObject* control : f.window->children())
        captions.append(control->property("text").toString());
    for (const char* caption : {" &Goto Slide   Number", "Slide Num", "&Next  Slide", "&Load Show",
                                "   &Previous    Slide", "Current Slide Show", "Total Slides",
                                "    Load &Display    Numbers", "Timer"})
        QVERIFY2(captions.contains(QLatin1String(caption)), caption);
}

// The display boxes are passed over while disabled; the path box joins once Load Show enabled it.
void tst_ControlWindow::tabOrder() {
    QvrFixture f;
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

void tst_ControlWindow::accessKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Alt+L loads a show") << int(Qt::Key_L) << "Open /shows/first.ppt";
    QTest::newRow("Alt+N goes on") << int(Qt::Key_N) << "Next";
    QTest::newRow("Alt+P goes back") << int(Qt::Key_P) << "Previous";
    QTest::newRow("Alt+G goes to") << int(Qt::Key_G) << "GotoSlide 3 reset";
    QTest::newRow("Alt+D shows the numbers") << int(Qt::Key_D) << "frmScreen";
}

void tst_ControlWindow::accessKeys() {
    QFETCH(int, key);
    QFETCH(QString, expected);
    QvrFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    f.prompt.answer = QStringLiteral("/shows/first.ppt");
    f.type("txtGotoSlide", QStringLiteral("3"));
    if (key != Qt::Key_L)
        f.loadShow();
    QTest::keyClick(f.window.get(), Qt::Key(key), Qt::AltModifier);
    if (expected == QLatin1String("frmScreen")) {
        QTRY_VERIFY(f.window->frmScreen().window() && f.window->frmScreen().window()->isVisible());
        f.window->frmScreen().Unload();
    } else {
        // An access key clicks its button at once.
        QVERIFY2(f.office.calls.contains(expected), qPrintable(f.office.calls.join(", ")));
    }
}

// Red while the pointer is on the label, blue again only once it crosses the bare background;
// a click opens the maker's address.
void tst_ControlWindow::linkLabel() {
    QvrFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
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

QTEST_MAIN(tst_ControlWindow)
#include "tst_ControlWindow.moc"
