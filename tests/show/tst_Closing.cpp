// Closing the control window: every other window of the program is unloaded first, then the
// program ends, and nothing at all is asked of the presentation program.
#include "QvrFixture.h"

#include <QDialog>

class tst_Closing : public QObject {
    Q_OBJECT
private slots:
    void endsWithoutTouchingTheOffice();
    void unloadsOpenNumbersWindowFirst();
};

void tst_Closing::endsWithoutTouchingTheOffice() {
    QvrFixture f;
    f.window->show();
    f.window->close();
    QCOMPARE(f.programEnded, 1);
    QVERIFY(f.office.calls.isEmpty()); // no office is started to be closed

    QvrFixture g;
    g.window->show();
    g.loadShow();
    g.office.take();
    g.window->close();
    QCOMPARE(g.programEnded, 1);
    g.window.reset();
    // Dropping the window releases its references without a call: the show runs on.
    QVERIFY(g.office.calls.isEmpty());
    QVERIFY(g.office.decks[0]->running);
}

void tst_Closing::unloadsOpenNumbersWindowFirst() {
    QvrFixture f;
    f.window->show();
    // Confirmed once and closed, then shown again and typed into without OK.
    f.click("cmdLoadScreenNum");
    QTest::mouseClick(f.window->frmScreen().window()->findChild<QPushButton*>("OKButton"),
                      Qt::LeftButton);
    QCOMPARE(f.forms.count(), 1);
    f.click("cmdLoadScreenNum");
    QPointer<QDialog> numbers = f.window->frmScreen().window();
    numbers->findChild<QLineEdit*>(QStringLiteral("txtLeft"))->setText(QStringLiteral("5"));
    QCOMPARE(f.forms.at(1), numbers.data()); // second, in load order
    f.window->close();
    QCOMPARE(f.forms.count(), 1);
    QCOMPARE(f.programEnded, 1);
    QVERIFY(!f.window->frmScreen().window());
    QTRY_VERIFY(!numbers);
    QCOMPARE(f.window->frmScreen().intLeft, 769);
}

QTEST_MAIN(tst_Closing)
#include "tst_Closing.moc"
