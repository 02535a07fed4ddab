// The stand-ins for the platform; the dialogs are answered from a timer while they wait. Blanks,
// halves to even and the 16-bit bounds of the conversion are met through the numbers window's OK.
#include "platform/CommonDialog.h"
#include "platform/Conversion.h"
#include "platform/Failure.h"
#include "platform/LongTimer.h"
#include "platform/MessageBox.h"

#include <functional>
#include <limits>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace platform;
using namespace std::chrono_literals;

// Calls act with the modal widget once one is up, from the event loop it runs.
void whenModal(const std::function<void(QWidget*)>& act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* widget = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            act(widget);
        }
    });
    poll->start(10);
}

class tst_Platform : public QObject {
    Q_OBJECT
private slots:
    void conversion() {
        // Target (Integer, Long, Single), the user's locale, the text, the number or the failure.
        const char* const rows[][4] = {{"I", "C", "1,024", "1024"},
                                       {"I", "C", "\t 7\t", "7"},
                                       {"I", "en", "1.5", "2"},
                                       {"I", "de", "1.024", "1024"},
                                       {"I", "sv", "\u22122,5", "-2"},
                                       {"L", "en", "-2,147,483,648.5", "-2147483648"},
                                       {"L", "en", "2147483647.5", "Quenvar Overflow"},
                                       {"S", "en", "3.40282347e+38", "3.40282347e+38"},
                                       {"S", "en", "-3.5e38", "Quenvar Overflow"},
                                       {"S", "de", "1,5.0", "Quenvar Type mismatch"},
                                       {"S", "de", "1..000", "Quenvar Type mismatch"},
                                       {"S", "de", ".5", "Quenvar Type mismatch"},
                                       {"S", "en", "1e", "Quenvar Type mismatch"}};
        for (const auto& [target, locale, text, expected] : rows) {
            QLocale::setDefault(QLocale(locale));
            QString result;
            try {
                result = *target == 'I'   ? QString::number(toInteger(text))
                         : *target == 'L' ? QString::number(toLong(text))
                                          : QString::number(toSingle(text), 'g', 9);
            } catch (const Failure& failure) {
                result = failure.message();
            }
            QCOMPARE(result, expected);
        }
        QCOMPARE(decimalText(-2147483647), "-2147483647"); // plain, though the locale groups digits
        QLocale::setDefault(QLocale::c());
    }

    // Ticks on whole multiples of the interval from when counting starts, late ticks not queued, no
    // ticks without a positive interval.
    void longTimer() {
        struct FakeClock final : Clock {
            std::chrono::steady_clock::time_point at{std::chrono::hours(1000)};
            std::chrono::steady_clock::time_point now() const override { return at; }
        } clock;
        LongTimer timer(&clock);
        QSignalSpy ticks(&timer, &LongTimer::Timer);
        const auto after = [&](std::chrono::steady_clock::duration by) {
            clock.at += by;
            timer.check();
            return int(ticks.count());
        };
        timer.setInterval(5.0f);
        QCOMPARE(after(3s), 0);
        timer.setEnabled(true); // counting starts here, not when the interval was set
        QCOMPARE(after(4999ms), 0);
        QCOMPARE(after(1ms), 1);
        QCOMPARE(after(0ms), 1);
        // A new interval, or the same one set again by a second Load Show, restarts the count.
        clock.at += 3s;
        timer.setInterval(5.0f);
        QCOMPARE(after(4999ms), 1);
        timer.setInterval(2.0f);
        QCOMPARE(after(1999ms), 1);
        // A modal box held the loop for 11 s: one tick for the five that were due, and the next
        // falls on the next multiple, 12 s.
        QCOMPARE(after(9001ms), 2);
        QCOMPARE(timer.armedMilliseconds(), 1000);
        QCOMPARE(after(1s), 3);
        for (float none : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN()}) {
            timer.setInterval(none);
            QCOMPARE(timer.armedMilliseconds(), -1);
            QCOMPARE(after(1h), 3);
        }
        // 30 days: more milliseconds than a QTimer holds, so it is armed for a while at a time.
        timer.setInterval(30.0f * 24 * 3600);
        QCOMPARE(timer.armedMilliseconds(), LongTimer::kMaxArmMilliseconds);
        QCOMPARE(after(std::chrono::hours(30 * 24) - 1s), 3);
        QCOMPARE(after(1s), 4);
        // Without check(): the QTimer fires after the interval of real time and re-reads the clock.
        timer.setInterval(0.02f);
        clock.at += 20ms;
        QVERIFY(ticks.wait(5000));
        QVERIFY(!ticks.wait(100));
        QCOMPARE(ticks.count(), 5);
    }

    void fileDialogShowsWholeTextsAndGivesTheFullPath() {
        QTemporaryDir dir;
        const QString path = dir.filePath("quenvar-sample.pptx");
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        QtFilePrompt prompt;
        prompt.setPlaces({dir.path()});
        CommonDialog dialog(prompt);
        dialog.setInitDir(dir.path());
        QStringList cut; // the side bar narrower than its names, or the file missing from the list
        whenModal([&](QWidget* shown) {
            auto* sidebar = shown->findChild<QListView*>("sidebar");
            QAbstractItemView* files = shown->findChild<QTreeView*>("treeView");
            if (!QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) == 1; }))
                cut << "file list";
            if (sidebar->viewport()->width() < sidebar->sizeHintForColumn(0))
                cut << "side bar";
            // Typed, as selectFile() leaves the name box alone once it has the keyboard.
            shown->findChild<QLineEdit*>("fileNameEdit")->setText("quenvar-sample.pptx");
            QMetaObject::invokeMethod(shown, "accept");
        });
        QVERIFY(dialog.ShowOpen());
        QCOMPARE(cut, QStringList());
        QCOMPARE(dialog.FileName(), path);
        // Cancelling keeps the file chosen before.
        whenModal([](QWidget* shown) { shown->close(); });
        QVERIFY(!dialog.ShowOpen());
        QCOMPARE(dialog.FileName(), path);
    }

    void messageBoxIsOpenWhileWaiting() {
        // A second box opened while the first waits, as a timer tick may, must not clear isOpen()
        // when it closes first. Both stay above the control window, which is kept on top.
        QtMessageBox box;
        QString seen;
        whenModal([&](QWidget* outer) {
            whenModal([](QWidget* shown) { shown->close(); });
            box.show("inner");
            seen = QString("%1 %2 %3")
                       .arg(outer->windowTitle())
                       .arg(box.isOpen())
                       .arg(outer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            outer->close();
        });
        box.show("Quenvar Cancel was selected.");
        QCOMPARE(seen, "Quenvar 1 1");
        QVERIFY(!box.isOpen());
    }
};

QTEST_MAIN(tst_Platform)
#include "tst_Platform.moc"
