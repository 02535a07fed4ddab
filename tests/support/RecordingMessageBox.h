// A message box for tests: records every text it is asked to show. By default it returns at once,
// as if the operator had pressed OK straight away; a test can give it something to do while it
// "waits" for the operator (timer ticks, say), during which isOpen() is true, as for a real box.
#pragma once

#include "platform/MessageBox.h"

#include <algorithm>
#include <functional>
#include <QStringList>

class RecordingMessageBox final : public platform::MessageBox {
public:
    void show(const QString& text) override {
        texts.append(text);
        ++m_open;
        deepest = std::max(deepest, m_open);
        if (whileOpen)
            whileOpen();
        --m_open;
    }
    bool isOpen() const override { return m_open > 0; }

    QStringList texts;
    // The most boxes that were open at one time.
    int deepest = 0;
    std::function<void()> whileOpen;

private:
    int m_open = 0;
};
