// The display numbers window: its layout, its life from showing to OK or Cancel, and what OK makes
// of the three boxes.

#include "display/WrappingButton.h"
#include "ScreenFixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>

using display::frmScreen;

class FrmScreenTest : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void windowKind();
    void captionsFitTheirControls();
    void tabOrderAndFocus();

    void showingAgainShowsTheSameWindow();
    void okConfirmsAndDestroysTheControls();
    void reopeningShowsTheDefaults();
    void okConverts_data();
    void okConverts();
    void okRefusesABadBox_data();
    void okRefusesABadBox();
    void cancelAndEveryOtherWayOutKeepTheNumbers_data();
    void cancelAndEveryOtherWayOutKeepTheNumbers();
    void enterPressesTheFocusedButtonOnly();
    void unloadingWhileOpenLosesWhatWasTyped();
};

void FrmScreenTest::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // pixels: the twips of the layout divided by 15
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");

    const auto row = [](const char* name, QRect geometry, const QString& text, int pixels,
                        bool bold) {
        QTest::newRow(name) << QString::fromLatin1(name) << geometry << text << pixels << bold;
    };
    row("OKButton", {232, 144, 81, 25}, "OK", 11, false);
    row("CancelButton", {232, 176, 81, 25}, "Cancel", 11, false);
    row("txtLeft", {104, 64, 73, 33}, "769", 16, true);
    row("txtWidth", {104, 160, 73, 33}, "768", 16, true);
    row("txtTop", {104, 112, 73, 33}, "0", 16, true);
    row("Label1", {8, 0, 313, 49},
        " Enter the magic numbers for your muli-monitor setup and display resolution. The default "
        "numbers are for side-by-side and 1024 X 768 display resolution.",
        11, true);
    row("Label2", {16, 72, 57, 17}, "Left", 13, true);
    row("Label3", {16, 120, 57, 17}, "Top", 13, true);
    row("Label4", {15, 161, 72, 37}, "Diagonal Point", 13, true);
    row("cmdLoadFile", {216, 56, 105, 33}, "Load Saved Magic  Numbers", 11, false);
    row("cmdSaveFile", {216, 96, 105, 33}, "      Save Magic          Numbers", 11, false);
}

void FrmScreenTest::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);

    ScreenFixture f;
    f.screen->Show();
    QWidget* control = f.screen->window()->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->property("text").toString(), text);
    QCOMPARE(control->font().pixelSize(), pixelSize);
    QCOMPARE(control->font().bold(), bold);
    // "MS Sans Serif" is a Windows face; here the metric-compatible Liberation Sans stands in,
    // not whatever the font configuration would pick for an unknown name.
    QCOMPARE(QFontInfo(control->font()).family(), QStringLiteral("Liberation Sans"));
}

void FrmScreenTest::windowKind() {
    ScreenFixture f;
    f.screen->Show();
    QDialog* window = f.screen->window();
    QCOMPARE(window->objectName(), QStringLiteral("frmScreen"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Load Display Attributes"));
    QCOMPARE(window->geometry(), QRect(337, 148, 330, 213));
    QCOMPARE(window->minimumSize(), window->maximumSize());

    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool); // kept out of the task bar
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    // Modeless and without an owner: the control window stays usable beside it.
    QVERIFY(!window->parentWidget());
    QVERIFY(!window->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    QCOMPARE(f.forms.count(), 1);
    QCOMPARE(f.forms.caption(0), QStringLiteral("Load Display Attributes"));

    // The labels stand left of their boxes, level with them.
    const auto besides = [&](const char* label, const char* box) {
        const QRect l = window->findChild<QLabel*>(QLatin1String(label))->geometry();
        const QRect b = f.box(box)->geometry();
        return l.right() < b.left() && l.bottom() >= b.top() && l.top() <= b.bottom();
    };
    QVERIFY(besides("Label2", "txtLeft"));
    QVERIFY(besides("Label3", "txtTop"));
    QVERIFY(besides("Label4", "txtWidth"));
}

void FrmScreenTest::captionsFitTheirControls() {
    ScreenFixture f;
    f.screen->Show();
    QDialog* window = f.screen->window();

    for (auto* button : window->findChildren<display::WrappingButton*>()) {
        const QRect area = button->captionRect();
        const QRect needed =
            button->fontMetrics().boundingRect(area, button->textFlags(), button->text());
        QVERIFY2(area.contains(needed), qPrintable(button->objectName()));
    }
    // The file buttons' captions are meant to break in two, the others to stay on one line.
    const auto lines = [&](const char* name) {
        auto* button = static_cast<display::WrappingButton*>(f.button(name));
        const QFontMetrics metrics = button->fontMetrics();
        return metrics.boundingRect(button->captionRect(), button->textFlags(), button->text())
                   .height() /
               metrics.lineSpacing();
    };
    QCOMPARE(lines("cmdLoadFile"), 2);
    QCOMPARE(lines("cmdSaveFile"), 2);
    QCOMPARE(lines("OKButton"), 1);

    for (auto* label : window->findChildren<QLabel*>()) {
        const QRect area = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(
            area, int(label->alignment()) | Qt::TextWordWrap, label->text());
        QVERIFY2(area.contains(needed), qPrintable(label->objectName()));
    }
}

void FrmScreenTest::tabOrderAndFocus() {
    ScreenFixture f;
    f.screen->Show();
    QDialog* window = f.screen->window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget(), f.button("OKButton"));

    QStringList order;
    for (int i = 0; i < 8; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"OKButton", "CancelButton", "txtLeft", "txtWidth", "txtTop",
                                 "cmdLoadFile", "cmdSaveFile", "OKButton"}));
}

void FrmScreenTest::showingAgainShowsTheSameWindow() {
    ScreenFixture f;
    f.screen->Show();
    const QPointer<QDialog> first = f.screen->window();
    f.type("txtLeft", "12");
    f.screen->Show();
    QCOMPARE(f.screen->window(), first.data());
    QVERIFY(first->isVisible());
    QCOMPARE(f.box("txtLeft")->text(), QStringLiteral("12"));
    QCOMPARE(f.forms.count(), 1);

    // Hidden by other means, it comes back too.
    first->hide();
    f.screen->Show();
    QCOMPARE(f.screen->window(), first.data());
    QVERIFY(first->isVisible());
}

void FrmScreenTest::okConfirmsAndDestroysTheControls() {
    ScreenFixture f;
    QCOMPARE(f.members(), QList<int>({0, 0, 0}));
    QVERIFY(!f.screen->intDisplaySet.has_value());

    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    f.click("OKButton");
    QCOMPARE(f.members(), QList<int>({769, 0, 768}));
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));
    QVERIFY(f.messages.texts.isEmpty());

    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.forms.count(), 0);
    QVERIFY(window.isNull() || !window->isVisible());
    QTRY_VERIFY(window.isNull());
}

void FrmScreenTest::reopeningShowsTheDefaults() {
    ScreenFixture f;
    f.screen->Show();
    f.typeAll("1", "2", "3");
    f.click("OKButton");
    QCOMPARE(f.members(), QList<int>({1, 2, 3}));

    f.screen->Show();
    QCOMPARE(f.texts(), QStringList({"769", "0", "768"}));
    f.click("OKButton");
    QCOMPARE(f.members(), QList<int>({769, 0, 768}));
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));
}

void FrmScreenTest::okConverts_data() {
    QTest::addColumn<QStringList>("typed"); // Left, Top, Width
    QTest::addColumn<QList<int>>("confirmed");
    QTest::newRow("zero top left") << QStringList{"0", "0", "800"} << QList<int>{0, 0, 800};
    QTest::newRow("blanks around")
        << QStringList{" -1024 ", "0", "768"} << QList<int>{-1024, 0, 768};
    QTest::newRow("half to even") << QStringList{"769", "2.5", "768.5"} << QList<int>{769, 2, 768};
    QTest::newRow("half up to even")
        << QStringList{"3.5", "-2.5", "767.5"} << QList<int>{4, -2, 768};
    QTest::newRow("limits") << QStringList{"-32768", "32767", "1"} << QList<int>{-32768, 32767, 1};
}

void FrmScreenTest::okConverts() {
    QFETCH(QStringList, typed);
    QFETCH(QList<int>, confirmed);
    ScreenFixture f;
    f.screen->Show();
    f.typeAll(typed[0], typed[1], typed[2]);
    f.click("OKButton");
    QCOMPARE(f.messages.texts, QStringList());
    QCOMPARE(f.members(), confirmed);
    QCOMPARE(f.screen->window(), nullptr);
}

void FrmScreenTest::okRefusesABadBox_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("confirmedBefore");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("failure");
    QTest::newRow("empty Left") << "txtLeft"
                                << "" << false << "Left"
                                << "Type mismatch";
    QTest::newRow("blank Top") << "txtTop"
                               << "   " << true << "Top"
                               << "Type mismatch";
    QTest::newRow("word in Width") << "txtWidth"
                                   << "wide" << false << "Diagonal Point"
                                   << "Type mismatch";
    QTest::newRow("Left too big") << "txtLeft"
                                  << "32768" << true << "Left"
                                  << "Overflow";
    QTest::newRow("Width too small") << "txtWidth"
                                     << "-32769" << true << "Diagonal Point"
                                     << "Overflow";
    QTest::newRow("Top rounds past the top") << "txtTop"
                                             << "32767.5" << false << "Top"
                                             << "Overflow";
}

void FrmScreenTest::okRefusesABadBox() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(bool, confirmedBefore);
    QFETCH(QString, label);
    QFETCH(QString, failure);

    ScreenFixture f;
    if (confirmedBefore) {
        f.screen->Show();
        f.typeAll("1", "2", "3");
        f.click("OKButton");
    }
    const QList<int> before = f.members();
    const std::optional<int16_t> setBefore = f.screen->intDisplaySet;

    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    // Every box but the bad one holds a good, different number, so a half update would show.
    f.typeAll("100", "200", "300");
    f.type(box.toLatin1().constData(), text);
    f.click("OKButton");

    QCOMPARE(f.messages.texts.size(), 1);
    const QString message = f.messages.texts.first();
    QVERIFY2(message.startsWith("Quenvar "), qPrintable(message));
    QVERIFY2(message.contains(failure), qPrintable(message));
    QVERIFY2(message.contains("\"" + label + "\""), qPrintable(message));

    QCOMPARE(f.members(), before);
    QCOMPARE(f.screen->intDisplaySet, setBefore);
    QCOMPARE(f.screen->window(), window.data());
    QVERIFY(window->isVisible());
    QCOMPARE(f.box(box.toLatin1().constData())->text(), text);

    // Mended, the same OK goes through.
    f.type(box.toLatin1().constData(), "7");
    f.click("OKButton");
    QCOMPARE(f.messages.texts.size(), 1);
    QCOMPARE(f.screen->window(), nullptr);
    QVERIFY(f.members().contains(7));
}

void FrmScreenTest::cancelAndEveryOtherWayOutKeepTheNumbers_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("window system") << "close";
}

void FrmScreenTest::cancelAndEveryOtherWayOutKeepTheNumbers() {
    QFETCH(QString, way);
    ScreenFixture f;
    f.screen->Show();
    f.typeAll("1", "2", "3");
    f.click("OKButton");

    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    f.typeAll("9", "9", "9");
    if (way == "Cancel")
        f.click("CancelButton");
    else if (way == "Escape")
        QTest::keyClick(f.box("txtTop"), Qt::Key_Escape);
    else
        window->close();

    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.forms.count(), 0);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(f.members(), QList<int>({1, 2, 3}));
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));
    QVERIFY(f.messages.texts.isEmpty());

    f.screen->Show();
    QCOMPARE(f.texts(), QStringList({"769", "0", "768"}));
}

void FrmScreenTest::enterPressesTheFocusedButtonOnly() {
    ScreenFixture f;
    f.screen->Show();
    QTest::keyClick(f.box("txtTop"), Qt::Key_Return);
    QVERIFY(f.screen->window());
    QVERIFY(!f.screen->intDisplaySet);

    QTest::keyClick(f.button("OKButton"), Qt::Key_Return);
    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.screen->intDisplaySet, std::optional<int16_t>(1));
}

void FrmScreenTest::unloadingWhileOpenLosesWhatWasTyped() {
    // The control window unloads this one when the program closes.
    ScreenFixture f;
    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    f.typeAll("5", "6", "7");
    f.screen->Unload();
    QCOMPARE(f.screen->window(), nullptr);
    QCOMPARE(f.forms.count(), 0);
    QVERIFY(!window->isVisible());
    QTRY_VERIFY(window.isNull());
    QCOMPARE(f.members(), QList<int>({0, 0, 0}));
    QVERIFY(!f.screen->intDisplaySet);
    f.screen->Unload(); // again: nothing left to unload

    // Ending with the window still open takes the controls along.
    f.screen->Show();
    const QPointer<QDialog> second = f.screen->window();
    f.screen.reset();
    QVERIFY(second.isNull());
}

QTEST_MAIN(FrmScreenTest)
#include "tst_frmScreen.moc"
