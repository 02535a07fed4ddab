// The open-file dialog and the message box, answered from a timer while they wait.
#include "platform/CommonDialog.h"
#include "platform/Failure.h"
#include "platform/MessageBox.h"

#include <functional>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace platform;

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

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void fileDialogShowsWholeTextsAndGivesTheFullPath();
    void messageBoxIsOpenWhileWaiting();
};

void TestDialogs::fileDialogShowsWholeTextsAndGivesTheFullPath() {
    QTemporaryDir dir;
    const QString path = dir.filePath("quenvar-sample.pptx");
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    QtFilePrompt prompt;
    prompt.setPlaces({dir.path()});
    CommonDialog dialog(prompt);
    dialog.setInitDir(dir.path());
    QStringList cut; // the side bar, or a name, size or date column narrower than what it shows
    whenModal([&](QWidget* shown) {
        auto* sidebar = shown->findChild<QListView*>("sidebar");
        QAbstractItemView* files = shown->findChild<QTreeView*>("treeView");
        auto* header = shown->findChild<QHeaderView*>();
        if (!QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) == 1; }))
            cut << "file list";
        if (sidebar->viewport()->width() < sidebar->sizeHintForColumn(0))
            cut << "side bar";
        for (int column : {0, 1, 3})
            if (header->sectionSize(column) <
                std::max(files->sizeHintForColumn(column), header->sectionSizeHint(column)))
                cut << QString::number(column);
        static_cast<QFileDialog*>(shown)->selectFile(path);
        QMetaObject::invokeMethod(shown, "accept");
    });
    dialog.ShowOpen();
    QCOMPARE(cut, QStringList());
    QCOMPARE(dialog.FileName(), path);
    // Cancelling fails, and keeps the file chosen before.
    whenModal([](QWidget* shown) { shown->close(); });
    QVERIFY_THROWS_EXCEPTION(Failure, dialog.ShowOpen());
    QCOMPARE(dialog.FileName(), path);
}

void TestDialogs::messageBoxIsOpenWhileWaiting() {
    // A second box opened while the first waits, as a timer tick may, must not clear isOpen() when
    // it closes first. Both stay above the control window, which is kept on top.
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

QTEST_MAIN(TestDialogs)
#include "tst_Dialogs.moc"
