// The display numbers window: its layout, its life from showing to OK or Cancel, and what OK makes
// of the three boxes.

#include "platform/WrappingButton.h"
#include "ScreenFixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>

class FrmScreenTest : public QObject {
    Q_OBJECT
private slots:
    void windowKindAndFocus();
    void captionsFitTheirControls();
    void okConfirmsAndReopeningShowsTheDefaults();
    void okRefusesABadBox_data();
    void okRefusesABadBox();
    void everyWayOutButOkKeepsTheNumbers_data();
    void everyWayOutButOkKeepsTheNumbers();
    void unloadingWhileOpen();
};

void FrmScreenTest::windowKindAndFocus() {
    ScreenFixture f;
    f.screen->Show();
    QDialog* window = f.screen->window();
    QCOMPARE(window->windowTitle(), QStringLiteral("Load Display Attributes"));
    QCOMPARE(window->geometry(), QRect(337, 148, 330, 213));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool); // kept out of the task bar
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    // Modeless and without an owner, and listed among the loaded windows under its caption.
    QVERIFY(!window->parentWidget() && !window->isModal());
    QCOMPARE(f.forms.count(), 1);
    QCOMPARE(f.forms.caption(0), window->windowTitle());

    QVERIFY(QTest::qWaitForWindowActive(window));
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"OKButton", "CancelButton", "txtLeft", "txtWidth", "txtTop",
                                 "cmdLoadFile", "cmdSaveFile", "OKButton"}));

    // Showing it again while open shows the same window, as it is.
    f.type("txtLeft", "12");
    f.screen->Show();
    QCOMPARE(f.screen->window(), window);
    QCOMPARE(f.box("txtLeft")->text(), QStringLiteral("12"));
    QCOMPARE(f.forms.count(), 1);

    // Enter presses the button that has the focus, and nothing from a box.
    QTest::keyClick(f.box("txtTop"), Qt::Key_Return);
    QVERIFY(!f.screen->intDisplaySet && f.screen->window());
    QTest::keyClick(f.button("OKButton"), Qt::Key_Return);
    QVERIFY(f.screen->intDisplaySet && !f.screen->window());
}

void FrmScreenTest::captionsFitTheirControls() {
    ScreenFixture f;
    f.screen->Show();
    // The metric-compatible stand-in for "MS Sans Serif", not whatever the font configuration
    // would pick for an unknown name, at 8.25, 9.75 and 12 points.
    QCOMPARE(QFontInfo(f.button("OKButton")->font()).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(f.box("txtTop")->font().pixelSize(), 16);
    QCOMPARE(f.screen->window()->findChild<QLabel*>("Label4")->font().pixelSize(), 13);
    const auto lines = [](const QWidget* control, const QRect& area, int flags,
                          const QString& text) {
        const QRect needed = control->fontMetrics().boundingRect(area, flags, text);
        return area.contains(needed) ? needed.height() / control->fontMetrics().lineSpacing() : 0;
    };
    QMap<QString, int> counted;
    for (auto* button : f.screen->window()->findChildren<platform::WrappingButton*>())
        counted[button->objectName()] =
            lines(button, button->captionRect(), button->textFlags(), button->text());
    for (auto* label : f.screen->window()->findChildren<QLabel*>())
        counted[label->objectName()] = lines(label, label->contentsRect(),
                                             label->alignment() | Qt::TextWordWrap, label->text());
    // 0 would be a caption cut off; the file buttons' captions are meant to break in two.
    const QMap<QString, int> expected{{"OKButton", 1},    {"CancelButton", 1}, {"cmdLoadFile", 2},
                                      {"cmdSaveFile", 2}, {"Label1", 3},       {"Label2", 1},
                                      {"Label3", 1},      {"Label4", 2}};
    QCOMPARE(counted, expected);
}

void FrmScreenTest::okConfirmsAndReopeningShowsTheDefaults() {
    ScreenFixture f;
    QCOMPARE(f.members(), QList<int>({0, 0, 0}));
    QVERIFY(!f.screen->intDisplaySet.has_value());
    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    f.typeAll("1", "2", "3");
    f.click("OKButton");
    QCOMPARE(f.members(), QList<int>({1, 2, 3}));
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));
    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.forms.count(), 0);
    QTRY_VERIFY(window.isNull());

    f.screen->Show();
    QCOMPARE(f.texts(), QStringList({"769", "0", "768"}));
    f.click("OKButton");
    QCOMPARE(f.members(), QList<int>({769, 0, 768}));
    QVERIFY(f.messages.texts.isEmpty());
}

void FrmScreenTest::okRefusesABadBox_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("confirmedBefore");
    QTest::addColumn<QString>("says");
    QTest::newRow("empty") << "txtLeft"
                           << "" << false << "Type mismatch in the \"Left\" box";
    QTest::newRow("blank") << "txtTop"
                           << "   " << true << "Type mismatch in the \"Top\" box";
    QTest::newRow("word") << "txtWidth"
                          << "wide" << false << "Type mismatch in the \"Diagonal Point\" box";
    QTest::newRow("too big") << "txtLeft"
                             << "32768" << true << "Overflow in the \"Left\" box";
}

void FrmScreenTest::okRefusesABadBox() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(bool, confirmedBefore);
    QFETCH(QString, says);
    ScreenFixture f;
    if (confirmedBefore) {
        f.screen->Show();
        f.typeAll("1", "2", "3");
        f.click("OKButton");
    }
    const QList<int> before = f.members();
    const std::optional<int16_t> setBefore = f.screen->intDisplaySet;

    f.screen->Show();
    QDialog* window = f.screen->window();
    // The other boxes hold good numbers, so that a half update would show.
    f.typeAll("100", "200", "300");
    f.type(qPrintable(box), text);
    f.click("OKButton");
    QCOMPARE(f.messages.texts.size(), 1);
    QVERIFY2(f.messages.texts[0].startsWith("Quenvar " + says), qPrintable(f.messages.texts[0]));
    QCOMPARE(f.members(), before);
    QCOMPARE(f.screen->intDisplaySet, setBefore);
    QCOMPARE(f.screen->window(), window);
    QVERIFY(window->isVisible());

    f.type(qPrintable(box), "7");
    f.click("OKButton");
    QCOMPARE(f.messages.texts.size(), 1);
    QVERIFY(f.members().contains(7));
}

void FrmScreenTest::everyWayOutButOkKeepsTheNumbers_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("window system") << 2;
}

void FrmScreenTest::everyWayOutButOkKeepsTheNumbers() {
    QFETCH(int, way);
    ScreenFixture f;
    f.screen->Show();
    f.typeAll("1", "2", "3");
    f.click("OKButton");
    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    f.typeAll("9", "9", "9");
    if (way == 0)
        f.click("CancelButton");
    else if (way == 1)
        QTest::keyClick(f.box("txtTop"), Qt::Key_Escape);
    else
        window->close();
    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.forms.count(), 0);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(f.members(), QList<int>({1, 2, 3}));
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));
}

void FrmScreenTest::unloadingWhileOpen() {
    // As the control window does when the program closes; ending with the window still open
    // takes the controls along as well.
    ScreenFixture f;
    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    f.screen->Unload();
    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.forms.count(), 0);
    QTRY_VERIFY(window.isNull());
    f.screen->Show();
    const QPointer<QDialog> second = f.screen->window();
    f.screen.reset();
    QVERIFY(second.isNull());
}

QTEST_MAIN(FrmScreenTest)
#include "tst_frmScreen.moc"
