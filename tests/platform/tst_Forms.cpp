// The list of loaded windows: load order, captions, and windows leaving it when destroyed.
#include "platform/Forms.h"

#include <memory>
#include <QTest>

using namespace platform;

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void keepsLoadOrderAndCaptions();
    void destroyedWindowLeaves();
    void removeAndReAdd();
    void outOfRange();
};

void TestForms::keepsLoadOrderAndCaptions() {
    QWidget control;
    control.setWindowTitle(QStringLiteral("Quenvar-Dual Monitor"));
    QWidget screen;
    screen.setWindowTitle(QStringLiteral("Screen"));
    Forms forms;
    forms.add(&control);
    forms.add(&screen);
    forms.add(&control); // already loaded: not listed twice
    forms.add(nullptr);
    QCOMPARE(forms.count(), 2);
    QCOMPARE(forms.at(0), &control);
    QCOMPARE(forms.at(1), &screen);
    QCOMPARE(forms.caption(0), QStringLiteral("Quenvar-Dual Monitor"));
    // The caption is read when asked, not when the window was added.
    screen.setWindowTitle(QStringLiteral("Display numbers"));
    QCOMPARE(forms.caption(1), QStringLiteral("Display numbers"));
}

void TestForms::destroyedWindowLeaves() {
    QWidget control;
    Forms forms;
    forms.add(&control);
    auto first = std::make_unique<QWidget>();
    auto second = std::make_unique<QWidget>();
    second->setWindowTitle(QStringLiteral("second"));
    forms.add(first.get());
    forms.add(second.get());
    QCOMPARE(forms.count(), 3);
    first.reset();
    QCOMPARE(forms.count(), 2);
    QCOMPARE(forms.at(1), second.get());
    QCOMPARE(forms.caption(1), QStringLiteral("second"));
    // Destroyed through deleteLater, as a closing window usually is.
    second.release()->deleteLater();
    QTRY_COMPARE(forms.count(), 1);
    QCOMPARE(forms.at(0), &control);
    // A window made again enters at the end.
    QWidget again;
    forms.add(&again);
    QCOMPARE(forms.at(1), &again);
}

void TestForms::removeAndReAdd() {
    QWidget a;
    QWidget b;
    Forms forms;
    forms.add(&a);
    forms.add(&b);
    forms.remove(&a);
    QCOMPARE(forms.count(), 1);
    QCOMPARE(forms.at(0), &b);
    forms.remove(&a); // not listed: nothing happens
    forms.add(&a);
    QCOMPARE(forms.at(1), &a);
}

void TestForms::outOfRange() {
    QWidget a;
    Forms forms;
    QCOMPARE(forms.count(), 0);
    QCOMPARE(forms.at(0), nullptr);
    forms.add(&a);
    QCOMPARE(forms.at(1), nullptr);
    QCOMPARE(forms.at(-1), nullptr);
    QCOMPARE(forms.caption(5), QString());
}

QTEST_MAIN(TestForms)
#include "tst_Forms.moc"
