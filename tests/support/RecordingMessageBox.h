// A message box for tests: records every text it is asked to show and returns at once, as if the
// operator pressed OK straight away. A test can give it something to do while it "waits" for the
// operator (timer ticks, say), during which isOpen() is true, as for a real box.
#pragma once

#include "platform/MessageBox.h"

#include <functional>
#include <QStringList>

class RecordingMessageBox final : public platform::MessageBox {
public:
    void show(const QString& text) override {
        texts.append(text);
        ++m_open;
        if (whileOpen)
            whileOpen();
        --m_open;
    }
    bool isOpen() const override { return m_open > 0; }

    QStringList texts;
    std::function<void()> whileOpen;

private:
    int m_open = 0;
};
