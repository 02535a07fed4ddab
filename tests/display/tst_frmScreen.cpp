// The display numbers window: where it opens and how it comes back, what OK makes of the boxes and
// every other way out, and the file that Save writes and Load reads.
#include "display/frmScreen.h"
#include "linereader/Class1.h"
#include "platform/Forms.h"
#include "platform/TextFileWriter.h"
#include "tests/support/RecordingMessageBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>

// A fresh window whose numbers file lies in a temporary folder.
struct Fixture {
    QTemporaryDir folder;
    QString file = folder.filePath("Qvr");
    RecordingMessageBox messages;
    platform::Forms forms;
    std::unique_ptr<display::frmScreen> screen{new display::frmScreen({file, &messages, &forms})};
    QLineEdit* box(int i) const {
        return screen->window()->findChild<QLineEdit*>(
            QStringList{"txtLeft", "txtTop", "txtWidth"}[i]);
    }
    void click(const char* name) const {
        QTest::mouseClick(screen->window()->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    void type(const QStringList& leftTopWidth) const {
        for (int i = 0; i < 3; ++i)
            box(i)->setText(leftTopWidth[i]);
    }
    QStringList texts() const { return {box(0)->text(), box(1)->text(), box(2)->text()}; }
    QList<int> members() const { return {screen->intLeft, screen->intTop, screen->intWidth}; }
    QByteArray saved() const {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : "<missing>";
    }
};

class FrmScreenTest : public QObject {
    Q_OBJECT
private slots:
    void opensOverTheControlWindowAndComesBack() {
        Fixture f;
        QWidget control;
        f.forms.add(&control);
        f.screen->Show();
        QDialog* window = f.screen->window();
        QCOMPARE(window->geometry(), QRect(337, 148, 330, 213));
        QCOMPARE(f.box(2)->geometry(), QRect(104, 160, 73, 33));
        // Out of the task bar, without minimize and maximize buttons, and kept on top like the
        // control window, which would otherwise cover its boxes.
        const auto kind =
            Qt::WindowType_Mask | Qt::WindowStaysOnTopHint | Qt::WindowMinMaxButtonsHint;
        QCOMPARE(window->windowFlags() & kind, Qt::Tool | Qt::WindowStaysOnTopHint);
        QVERIFY(!window->parentWidget() && !window->isModal() && f.forms.at(1) == window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (const char* name : {"CancelButton", "txtLeft", "txtWidth", "txtTop", "cmdLoadFile",
                                 "cmdSaveFile", "OKButton"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
        // Minimized by the window manager and behind the control window, it comes back as it was.
        f.box(0)->setText("12");
        window->showMinimized();
        control.show();
        QVERIFY(QTest::qWaitForWindowActive(&control));
        f.screen->Show();
        QVERIFY(f.screen->window() == window && !window->isMinimized() && f.box(0)->text() == "12");
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(f.box(1), Qt::Key_Return); // Enter in a box presses no button
        QVERIFY(!f.screen->intDisplaySet && f.screen->window());
    }

    void onlyOkConfirmsTheNumbers() {
        Fixture f;
        f.screen->Show();
        // A box that is not a 16-bit number leaves the numbers unconfirmed and the window on that
        // box.
        f.type({"1", "2", "32768"});
        f.click("OKButton");
        QCOMPARE(f.messages.texts,
                 QStringList({"Quenvar Overflow in the \"Diagonal Point\" box. Type a "
                              "whole number from -32768 to 32767 and press OK again."}));
        QVERIFY(!f.screen->intDisplaySet && f.members() == QList<int>({0, 0, 0}));
        QCOMPARE(f.screen->window()->focusWidget(), f.box(2));
        QLocale::setDefault(QLocale(QLocale::German)); // the operator's locale
        f.type({" -1.024 ", "0", "768,5"});
        f.click("OKButton");
        QLocale::setDefault(QLocale::c());
        QVERIFY(f.screen->intDisplaySet == 1 && f.members() == QList<int>({-1024, 0, 768}));
        const std::function<void()> ways[] = {[&] { f.click("CancelButton"); },
                                              [&] { QTest::keyClick(f.box(1), Qt::Key_Escape); },
                                              [&] { f.screen->window()->close(); }};
        for (const auto& leave : ways) { // Cancel, Escape, the window system's close
            f.screen->Show();
            QCOMPARE(f.texts(), QStringList({"769", "0", "768"}));
            const QPointer<QDialog> window = f.screen->window();
            f.type({"9", "9", "9"});
            leave();
            QVERIFY(!f.screen->window() && f.forms.count() == 0);
            QTRY_VERIFY(window.isNull());
            QCOMPARE(f.members(), QList<int>({-1024, 0, 768}));
        }
    }

    void saveAndLoad() {
        // Saved from the boxes over a longer file, or a file as found; then what Load puts back. A
        // file without three numbers leaves the boxes as typed, and one message says so.
        const struct {
            QStringList typed;
            QByteArray file;
            QStringList loaded;
        } rows[] = {
            {{" 5", "1,2", "768.5 "}, " 5,1,2,768.5 \r\n", {" 5", "1", "2"}},
            {{"1", "2", "3\u00e9\u4e2d"}, "1,2,3\xe9?\r\n", {"1", "2", "3?"}},
            {{}, "\r\n  \r\n\r\n\t76\1779, 0 ,768\200\377\r\n4,5,6\r\n", {"769", " 0 ", "768"}},
            {{}, " \t\r\n\r\n ", {}},
            {{}, "769,0\r\n", {}},
            {{}, QByteArray(4 << 20, '7'), {}},
            {{}, "<missing>", {}}};
        for (const auto& row : rows) {
            Fixture f;
            if (row.file != "<missing>")
                platform::writeTextFile(f.file, row.typed.isEmpty()
                                                    ? row.file
                                                    : "12345,12345,12345\r\nsecond line\r\n");
            f.screen->Show();
            if (!row.typed.isEmpty()) {
                f.type(row.typed);
                f.click("cmdSaveFile");
            }
            f.type({"a", "b", "c"});
            f.click("cmdLoadFile");
            QCOMPARE(f.texts(), row.loaded.isEmpty() ? QStringList({"a", "b", "c"}) : row.loaded);
            QCOMPARE(f.messages.texts.size(), row.loaded.isEmpty() ? 1 : 0);
            QCOMPARE(f.saved(), row.file);
            QVERIFY(!f.screen->intDisplaySet);
        }
    }

    void fullDiskSaysSoAndKeepsTheFile() {
        Fixture f;
        const QByteArray disk = QFile::encodeName(f.folder.path());
        if (mount("tmpfs", disk, "tmpfs", 0, "size=16k") != 0)
            QSKIP("Mounting a small tmpfs needs root: the save onto a full disk is not checked.");
        const auto unmount = qScopeGuard([&] { umount2(disk, MNT_DETACH); });
        platform::writeTextFile(f.file, "769,0,768\r\n");
        QFile filler(f.folder.filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        filler.write(QByteArray(64 << 10, 'x'));
        QCOMPARE(QStorageInfo(f.folder.path()).bytesFree(), 0);
        f.screen->Show();
        f.click("cmdSaveFile");
        QCOMPARE(f.messages.texts.size(), 1);
        QVERIFY2(f.messages.texts[0].startsWith("Quenvar ") &&
                     f.messages.texts[0].contains("the disk is full"),
                 qPrintable(f.messages.texts[0]));
        QCOMPARE(f.saved(), "769,0,768\r\n");
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"filler", "Qvr"}));
    }

    void windowClosedWhileLoading() {
        // The reader lets window events run while it reads; the operator may close the window then.
        static Fixture* f = nullptr;
        Fixture local;
        f = &local;
        platform::writeTextFile(f->file, QByteArray(20000, ' ') + "\r\n1,2,3\r\n");
        f->screen->Show();
        const QPointer<QDialog> window = f->screen->window();
        linereader::setEventPass([] {
            f->screen->CancelButton_Click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        f->click("cmdLoadFile");
        linereader::setEventPass(nullptr);
        QVERIFY(window.isNull() && f->messages.texts.isEmpty());
    }
};

QTEST_MAIN(FrmScreenTest)
#include "tst_frmScreen.moc"
