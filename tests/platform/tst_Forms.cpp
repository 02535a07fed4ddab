// The list of loaded windows: load order, captions, and windows leaving it when destroyed.
#include "platform/Forms.h"

#include <memory>
#include <QTest>

using namespace platform;

namespace {
// The listed windows by caption, in order, read through count() and caption().
QStringList captions(const Forms& forms) {
    QStringList names;
    for (int i = 0; i < forms.count(); ++i)
        names << forms.caption(i);
    return names;
}
} // namespace

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void keepsLoadOrderAndDropsDestroyedWindows();
};

void TestForms::keepsLoadOrderAndDropsDestroyedWindows() {
    QWidget control;
    control.setWindowTitle("Quenvar-Dual Monitor");
    auto first = std::make_unique<QWidget>();
    auto second = std::make_unique<QWidget>();
    first->setWindowTitle("first");
    second->setWindowTitle("second");
    Forms forms;
    for (QWidget* window : {&control, first.get(), second.get(), &control, (QWidget*)nullptr})
        forms.add(window); // one already loaded is not listed twice
    QCOMPARE(captions(forms), QStringList({"Quenvar-Dual Monitor", "first", "second"}));
    first.reset();
    QCOMPARE(forms.at(1), second.get());
    // The caption is read when asked; a window destroyed through deleteLater leaves as well.
    second->setWindowTitle("Screen");
    QCOMPARE(captions(forms), QStringList({"Quenvar-Dual Monitor", "Screen"}));
    second.release()->deleteLater();
    QTRY_COMPARE(forms.count(), 1);
    // A window removed, or made again, enters at the end.
    QWidget again;
    forms.add(&again);
    forms.remove(&control);
    forms.remove(&control);
    forms.add(&control);
    QCOMPARE(forms.at(0), &again);
    QCOMPARE(forms.at(1), &control);
    QCOMPARE(forms.at(2), nullptr);
    QCOMPARE(forms.at(-1), nullptr);
    QCOMPARE(forms.caption(5), QString());
}

QTEST_MAIN(TestForms)
#include "tst_Forms.moc"
