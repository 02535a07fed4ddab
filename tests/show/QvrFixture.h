// What every control window test starts from: a frmQvr over the fake presentation program, a file
// prompt that answers what the test says, a recording message box, a clock the test moves by hand
// and a numbers file in a temporary folder.
#pragma once

#include "platform/Forms.h"
#include "show/frmQvr.h"
#include "tests/support/FakePowerPoint.h"
#include "tests/support/RecordingMessageBox.h"

#include <memory>
#include <optional>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The pointer's shape as the program has set it for the whole application.
inline Qt::CursorShape cursorNow() {
    return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                          : Qt::ArrowCursor;
}

class AnsweringFilePrompt final : public platform::FilePrompt {
public:
    std::optional<QString> askOpenFile(QWidget*, const QString& title, const QString& directory,
                                       const QString& filters) override {
        ++asked;
        cursor = cursorNow();
        this->title = title;
        this->directory = directory;
        this->filters = filters;
        return answer;
    }

    std::optional<QString> answer; // nothing: the operator cancels
    int asked = 0;
    Qt::CursorShape cursor = Qt::ArrowCursor; // when last asked
    QString title, directory, filters;
};

class HandClock final : public platform::Clock {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    void advance(std::chrono::milliseconds by) { m_now += by; }

private:
    std::chrono::steady_clock::time_point m_now{std::chrono::hours(1)};
};

struct QvrFixture {
    QTemporaryDir folder;
    fake::Office office;
    AnsweringFilePrompt prompt;
    RecordingMessageBox messages;
    platform::Forms forms;
    HandClock clock;
    QList<QUrl> openedAddresses;
    int topmostCalls = 0;
    bool visibleWhenMadeTopmost = true;
    int programEnded = 0;
    std::optional<Qt::CursorShape> cursorAtCreate;
    std::unique_ptr<show::frmQvr> window;

    // box: the message box to use; the recording one when null.
    explicit QvrFixture(platform::MessageBox* box = nullptr, bool realClock = false) {
        show::frmQvr::Seams seams;
        seams.createObject = [this, make = office.factory()](const QString& progId) {
            cursorAtCreate = cursorNow();
            return make(progId);
        };
        seams.filePrompt = &prompt;
        seams.messageBox = box ? box : &messages;
        seams.forms = &forms;
        seams.makeTopmost = [this](QWidget* target) {
            ++topmostCalls;
            visibleWhenMadeTopmost = target->isVisible();
        };
        seams.openUrl = [this](const QUrl& address) { openedAddresses.append(address); };
        seams.clock = realClock ? nullptr : &clock;
        seams.numbersFile = folder.filePath(QStringLiteral("Qvr"));
        seams.endProgram = [this] { ++programEnded; };
        window = std::make_unique<show::frmQvr>(std::move(seams));
    }

    template <typename Widget = QWidget> Widget* find(const char* name) const {
        auto* widget = window->findChild<Widget*>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QLineEdit* box(const char* name) const { return find<QLineEdit>(name); }
    QString text(const char* name) const { return box(name)->text(); }
    void click(const char* name) const {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
    }
    void type(const char* name, const QString& text) const { box(name)->setText(text); }

    // One press of Load Show, choosing fileName, with interval typed into Text1.
    void loadShow(const QString& fileName = QStringLiteral("/shows/first.ppt"),
                  const QString& interval = QStringLiteral("10")) {
        prompt.answer = fileName;
        type("Text1", interval);
        click("cmdLoadShow");
    }
};
