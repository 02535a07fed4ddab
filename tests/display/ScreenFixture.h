// What every display numbers test starts from: a fresh frmScreen whose numbers file lies in a
// temporary folder, with a recording message box and its own list of loaded windows.
#pragma once

#include "display/frmScreen.h"
#include "platform/Forms.h"
#include "tests/support/RecordingMessageBox.h"

#include <memory>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

struct ScreenFixture {
    QTemporaryDir folder;
    RecordingMessageBox messages;
    platform::Forms forms;
    std::unique_ptr<display::frmScreen> screen;

    explicit ScreenFixture(const QString& fileName = QStringLiteral("Qvr")) {
        screen = std::make_unique<display::frmScreen>(
            display::frmScreen::Seams{folder.filePath(fileName), &messages, &forms});
    }

    QString numbersFile() const { return folder.filePath(QStringLiteral("Qvr")); }

    QLineEdit* box(const char* name) const {
        return screen->window()->findChild<QLineEdit*>(QLatin1String(name));
    }
    QPushButton* button(const char* name) const {
        return screen->window()->findChild<QPushButton*>(QLatin1String(name));
    }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Replaces the text of a box as the operator would by pasting over all of it.
    void type(const char* name, const QString& text) const {
        box(name)->selectAll();
        box(name)->insert(text);
    }
    void typeAll(const QString& left, const QString& top, const QString& width) const {
        type("txtLeft", left);
        type("txtTop", top);
        type("txtWidth", width);
    }
    QStringList texts() const {
        return {box("txtLeft")->text(), box("txtTop")->text(), box("txtWidth")->text()};
    }
    QList<int> members() const { return {screen->intLeft, screen->intTop, screen->intWidth}; }
};
