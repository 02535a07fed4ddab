// The display numbers file: what Save writes, what Load makes of any file it finds, and how both
// report what went wrong.

#include "linereader/Class1.h"
#include "ScreenFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QStringList kUntouched = {"a", "b", "c"};

} // namespace

class NumbersFileTest : public QObject {
    Q_OBJECT
private slots:
    void saveThenLoad_data();
    void saveThenLoad();
    void saveFailureIsReported_data();
    void saveFailureIsReported();
    void load_data();
    void load();
    void windowClosedWhileLoading();
};

void NumbersFileTest::saveThenLoad_data() {
    QTest::addColumn<QStringList>("typed"); // Left, Top, Width
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QList<int>>("confirmed"); // by OK right after the load
    const auto row = [](const char* name, const QStringList& typed, const QByteArray& file,
                        const QStringList& loaded, const QList<int>& confirmed) {
        QTest::newRow(name) << typed << file << loaded << confirmed;
    };
    row("defaults", {"769", "0", "768"}, "769,0,768\r\n", {"769", "0", "768"}, {769, 0, 768});
    row("blanks kept", {" 5", "0 ", " 768.5 "}, " 5,0 , 768.5 \r\n", {" 5", "0 ", " 768.5 "},
        {5, 0, 768});
    row("limits", {" -1024 ", "-32768", "32767"}, " -1024 ,-32768,32767\r\n",
        {" -1024 ", "-32768", "32767"}, {-1024, -32768, 32767});
    row("comma shifts the fields", {"1,2", "3", "4"}, "1,2,3,4\r\n", {"1", "2", "3"}, {1, 2, 3});
    // Latin-1 goes out as one byte, what it cannot hold as '?'; above 126 is filtered on loading.
    row("8-bit text", {"1", "2", "3\u00e9\u4e2d"}, "1,2,3\xe9?\r\n", {"1", "2", "3?"}, {});
}

void NumbersFileTest::saveThenLoad() {
    QFETCH(QStringList, typed);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, loaded);
    QFETCH(QList<int>, confirmed);
    ScreenFixture f;
    writeBytes(f.numbersFile(), "12345,12345,12345\r\nsecond line\r\n");
    f.screen->Show();
    f.typeAll(typed[0], typed[1], typed[2]);
    f.click("cmdSaveFile");
    QCOMPARE(readBytes(f.numbersFile()), file);
    // Saving leaves the window open and the numbers unconfirmed.
    QVERIFY(f.screen->window() && !f.screen->intDisplaySet);

    f.click("CancelButton");
    f.screen->Show();
    f.click("cmdLoadFile");
    QCOMPARE(f.texts(), loaded);
    QCOMPARE(f.messages.texts, QStringList());
    // Loading fills the boxes only; the numbers are OK's to confirm.
    QVERIFY(f.members() == QList<int>({0, 0, 0}) && !f.screen->intDisplaySet);
    if (!confirmed.isEmpty()) {
        f.click("OKButton");
        QCOMPARE(f.members(), confirmed);
    }
}

void NumbersFileTest::saveFailureIsReported_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("a folder of that name") << "Qvr";
    QTest::newRow("no such folder") << "nowhere/Qvr";
}

void NumbersFileTest::saveFailureIsReported() {
    QFETCH(QString, name);
    ScreenFixture f(name);
    QVERIFY(QDir(f.folder.path()).mkdir("Qvr"));
    f.screen->Show();
    f.click("cmdSaveFile");
    QCOMPARE(f.messages.texts.size(), 1);
    const QString message = f.messages.texts[0];
    QVERIFY2(message.startsWith("Quenvar ") &&
                 message.contains(QDir::toNativeSeparators(f.folder.filePath(name))),
             qPrintable(message));
    QVERIFY(f.screen->window());
    QVERIFY(QFileInfo(f.numbersFile()).isDir());
    QVERIFY(!QFileInfo::exists(f.folder.filePath("nowhere"))); // no folder is ever made
}

void NumbersFileTest::load_data() {
    QTest::addColumn<QByteArray>("file");    // "<missing>": no file, "<folder>": a folder
    QTest::addColumn<QStringList>("loaded"); // empty: the boxes stay as they were
    QTest::addColumn<QString>("says");       // empty: no message; "*": a message if not loaded
    const auto row = [](const char* name, const QByteArray& file, const QStringList& loaded,
                        const QString& says = {}) {
        QTest::newRow(name) << file << loaded << says;
    };
    row("blank lines first", "\r\n  \r\n\r\n10,20,30\r\n4,5,6\r\n", {"10", "20", "30"});
    row("blanks kept", " 769 , 0 ,768 ", {" 769 ", " 0 ", "768 "});
    row("tabs, NULs and high bytes removed",
        QByteArray("\t7\0006\x7f"
                   "9,\t0,768\x80\xa0\xff\r\n",
                   19),
        {"769", "0", "768"});
    row("more than three fields", "1,2,3,4,5", {"1", "2", "3"});
    row("LF line ends", "\n\n4,5,6\n", {"4", "5", "6"});
    row("empty fields", ",,\r\n", {"", "", ""});
    row("many blank lines, then numbers", QByteArray("   \r\n").repeated(100000) + "1,2,3",
        {"1", "2", "3"});
    const QString none = "There are no saved display numbers in the file";
    row("missing", "<missing>", {}, none);
    row("empty", "", {}, none);
    row("blank lines", "  \r\n\r\n   ", {}, none);
    row("tabs only", "\t\t\r\n\t", {}, none);
    row("two fields", "769,0\r\n", {}, none);
    row("one a line", "769\r\n0\r\n768\r\n", {}, none);
    row("NULs", QByteArray(2 << 20, '\0'), {}, none);
    row("one huge line", QByteArray(4 << 20, '7'), {}, none);
    row("a folder", "<folder>", {}, "could not be read");
    QByteArray random(1 << 20, Qt::Uninitialized);
    QRandomGenerator generator(4);
    for (char& byte : random)
        byte = char(generator.bounded(256));
    row("random bytes", random, {}, "*");
}

void NumbersFileTest::load() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, loaded);
    QFETCH(QString, says);
    ScreenFixture f;
    if (file == "<folder>")
        QVERIFY(QDir(f.folder.path()).mkdir("Qvr"));
    else if (file != "<missing>")
        writeBytes(f.numbersFile(), file);
    f.screen->Show();
    f.typeAll(kUntouched[0], kUntouched[1], kUntouched[2]);
    f.click("cmdLoadFile");
    const QStringList texts = f.texts();
    if (says == "*") {
        // Either the boxes were filled, or they were left alone and one message said why.
        QCOMPARE(f.messages.texts.size(), texts == kUntouched ? 1 : 0);
        return;
    }
    QCOMPARE(texts, loaded.isEmpty() ? kUntouched : loaded);
    QCOMPARE(f.messages.texts.size(), says.isEmpty() ? 0 : 1);
    if (!says.isEmpty()) {
        const QString message = f.messages.texts[0];
        QVERIFY2(message.startsWith("Quenvar ") && message.contains(says) &&
                     message.contains(QDir::toNativeSeparators(f.numbersFile())),
                 qPrintable(message));
    }
    if (file == "<missing>")
        QVERIFY(!QFileInfo::exists(f.numbersFile())); // a load never makes the file
    else if (file != "<folder>")
        QCOMPARE(readBytes(f.numbersFile()), file);
}

namespace {
display::frmScreen* g_closing = nullptr;
void closeDuringRead() {
    if (g_closing) {
        g_closing->CancelButton_Click();
        // The controls may really go in such a pass, not only be marked for going.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
} // namespace

void NumbersFileTest::windowClosedWhileLoading() {
    // The reader lets window events run while it reads; the operator may close the window then.
    ScreenFixture f;
    writeBytes(f.numbersFile(), QByteArray(20000, ' ') + "\r\n1,2,3\r\n");
    f.screen->Show();
    const QPointer<QDialog> window = f.screen->window();
    g_closing = f.screen.get();
    linereader::setEventPass(&closeDuringRead);
    f.click("cmdLoadFile");
    linereader::setEventPass(nullptr);
    QVERIFY(window.isNull());
    QCOMPARE(f.messages.texts, QStringList());
}

QTEST_MAIN(NumbersFileTest)
#include "tst_numbersFile.moc"
