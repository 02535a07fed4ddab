// The control window as the operator meets it: its place and size, its controls, the order Tab
// goes through them, the access keys, and the link label.
#include "QvrFixture.h"

#include <QDialog>
#include <QFontInfo>
#include <QMouseEvent>

class tst_ControlWindow : public QObject {
    Q_OBJECT
private slots:
    void window();
    void controls_data();
    void controls();
    void tabOrder();
    void accessKeys_data();
    void accessKeys();
    void linkLabel();
};

void tst_ControlWindow::window() {
    QvrFixture f;
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Quenvar-Dual Monitor"));
    QCOMPARE(f.window->size(), QSize(282, 229));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QVERIFY(!(f.window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(f.window->pos(), QPoint(233, 179));
    // Made topmost once, while still hidden, so that it is on top from its first showing.
    QCOMPARE(f.topmostCalls, 1);
    QVERIFY(!f.visibleWhenMadeTopmost);
    QCOMPARE(f.forms.count(), 1);
    QCOMPARE(f.forms.at(0), f.window.get());
    // Arial resolves to its metric-compatible face, 10.5 pt at 96 dpi.
    QCOMPARE(QFontInfo(f.window->font()).pixelSize(), 14);
    QVERIFY(QFontInfo(f.window->font()).family().contains(QStringLiteral("Liberation Sans")) ||
            QFontInfo(f.window->font()).family() == QStringLiteral("Arial"));
}

void tst_ControlWindow::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("pixelSize");
    const auto row = [](const char* name, QRect geometry, const char* text, bool enabled,
                        int pixelSize) {
        QTest::newRow(name) << name << geometry << text << enabled << pixelSize;
    };
    row("txtLoadShow", {72, 24, 183, 33}, "", false, 15);
    row("cmdGoto", {99, 120, 84, 43}, " &Goto Slide   Number", true, 14);
    row("txtGotoSlide", {200, 120, 44, 35}, "", true, 14);
    row("txtSlideNum", {38, 120, 44, 35}, "", false, 14);
    row("lblSlidenum", {0, 120, 33, 33}, "Slide Num", true, 14);
    row("Label1", {56, 208, 169, 17}, "quenvar.example", true, 15);
    row("txtTotalslides", {16, 24, 41, 33}, "", false, 14);
    row("cmdNextSlide", {6, 64, 84, 43}, "&Next  Slide", true, 14);
    row("cmdLoadShow", {99, 64, 84, 43}, "&Load Show", true, 14);
    row("cmdPreviousSlide", {192, 64, 84, 43}, "   &Previous    Slide", true, 14);
    row("Label2", {96, 8, 121, 17}, "Current Slide Show", true, 14);
    row("Label3", {0, 8, 89, 17}, "Total Slides", true, 14);
    row("cmdLoadScreenNum", {81, 168, 121, 41}, "    Load &Display    Numbers", true, 14);
    row("Text1", {224, 180, 43, 41}, "", true, 16);
    row("Label4", {228, 160, 46, 17}, "Timer", true, 14);
}

void tst_ControlWindow::controls() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(int, pixelSize);
    QvrFixture f;
    QWidget* control = f.find(name.toLatin1().constData());
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->font().pixelSize(), pixelSize);
    QCOMPARE(control->property("text").toString(), text);
    if (auto* box = qobject_cast<QLineEdit*>(control))
        QCOMPARE(box->alignment() & Qt::AlignHCenter,
                 name == QLatin1String("txtLoadShow") ? Qt::Alignment() : Qt::AlignHCenter);
}

// Tab goes through the buttons and the two input boxes in the window's order; the display boxes
// are passed over while disabled, and the path box joins once Load Show has enabled it.
void tst_ControlWindow::tabOrder() {
    QvrFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    auto cycle = [&f] {
        QStringList names;
        f.find("cmdGoto")->setFocus();
        for (int step = 0; step < 9; ++step) {
            names.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return names;
    };
    QCOMPARE(cycle(), QStringList({"cmdGoto", "txtGotoSlide", "cmdNextSlide", "cmdLoadShow",
                                   "cmdPreviousSlide", "cmdLoadScreenNum", "Text1", "cmdGoto",
                                   "txtGotoSlide"}));
    f.loadShow();
    QCOMPARE(cycle(), QStringList({"cmdGoto", "txtGotoSlide", "cmdNextSlide", "cmdLoadShow",
                                   "cmdPreviousSlide", "cmdLoadScreenNum", "Text1", "txtLoadShow",
                                   "cmdGoto"}));
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
    f.office.take();
    QTest::keyClick(f.window.get(), Qt::Key(key), Qt::AltModifier);
    if (expected == QLatin1String("frmScreen")) {
        QTRY_VERIFY(f.window->frmScreen().window() && f.window->frmScreen().window()->isVisible());
        f.window->frmScreen().Unload();
    } else {
        // An access key presses its button as a click would, after the button's short press.
        QTRY_VERIFY2(f.office.calls.contains(expected), qPrintable(f.office.calls.join(", ")));
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

    QVERIFY(f.openedAddresses.isEmpty());
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(f.openedAddresses, QList<QUrl>{QUrl(show::kMakerAddress)});
}

QTEST_MAIN(tst_ControlWindow)
#include "tst_ControlWindow.moc"
