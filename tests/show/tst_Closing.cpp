// Closing the control window: every other window of the program is unloaded first, then the
// program ends, and nothing at all is asked of the presentation program.
#include "QvrFixture.h"

#include <QDialog>

class tst_Closing : public QObject {
    Q_OBJECT
private slots:
    void withNoShowEndsWithoutStartingOffice();
    void leavesRunningShowAlone();
    void unloadsOpenNumbersWindowFirst();
    void afterNumbersWindowClosedEndsAtOnce();
};

void tst_Closing::withNoShowEndsWithoutStartingOffice() {
    QvrFixture f;
    f.window->show();
    f.window->close();
    QCOMPARE(f.programEnded, 1);
    QVERIFY(f.office.calls.isEmpty());
}

void tst_Closing::leavesRunningShowAlone() {
    QvrFixture f;
    f.window->show();
    f.loadShow();
    f.office.take();
    f.window->close();
    QCOMPARE(f.programEnded, 1);
    QVERIFY(f.office.calls.isEmpty());
    f.window.reset();
    // Dropping the window releases its references without a call: the show runs on.
    QVERIFY(f.office.calls.isEmpty());
    QVERIFY(f.office.decks[0]->running);
}

void tst_Closing::unloadsOpenNumbersWindowFirst() {
    QvrFixture f;
    f.window->show();
    f.click("cmdLoadScreenNum");
    QPointer<QDialog> numbers = f.window->frmScreen().window();
    QVERIFY(numbers);
    numbers->findChild<QLineEdit*>(QStringLiteral("txtLeft"))->setText(QStringLiteral("5"));
    QCOMPARE(f.forms.count(), 2);
    bool numbersGoneAtEnd = false;
    f.forms.at(1); // the numbers window is second, in load order
    QCOMPARE(f.forms.at(1), numbers.data());
    f.window->close();
    numbersGoneAtEnd = f.forms.count() == 1;
    QVERIFY(numbersGoneAtEnd);
    QCOMPARE(f.programEnded, 1);
    QVERIFY(!f.window->frmScreen().window());
    QTRY_VERIFY(!numbers);
    // Typed but never confirmed.
    QVERIFY(!f.window->frmScreen().intDisplaySet.has_value());
}

void tst_Closing::afterNumbersWindowClosedEndsAtOnce() {
    QvrFixture f;
    f.window->show();
    f.click("cmdLoadScreenNum");
    QTest::mouseClick(f.window->frmScreen().window()->findChild<QPushButton*>("OKButton"),
                      Qt::LeftButton);
    QCOMPARE(f.forms.count(), 1);
    f.window->close();
    QCOMPARE(f.programEnded, 1);
    QCOMPARE(f.window->frmScreen().intDisplaySet, std::optional<int16_t>(1));
}

QTEST_MAIN(tst_Closing)
#include "tst_Closing.moc"
