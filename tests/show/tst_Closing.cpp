// Closing the control window: every other window of the program is unloaded first, then the
// program ends, and nothing at all is asked of the presentation program.
#include "QvrFixture.h"

#include <QDialog>

class tst_Closing : public QObject {
    Q_OBJECT
private slots:
    void unloadsOtherWindowsAndLeavesTheShowRunning();
};

void tst_Closing::unloadsOtherWindowsAndLeavesTheShowRunning() {
    QvrFixture f;
    f.window->show();
    f.loadShow();
    f.office.take();
    // Confirmed once and closed, then shown again and typed into without OK.
    f.click("cmdLoadScreenNum");
    QTest::mouseClick(f.window->frmScreen().window()->findChild<QPushButton*>("OKButton"),
                      Qt::LeftButton);
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

QTEST_MAIN(tst_Closing)
#include "tst_Closing.moc"
