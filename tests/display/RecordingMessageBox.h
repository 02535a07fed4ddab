// A message box for tests: records every text it is asked to show and returns at once, as if the
// operator had pressed OK straight away.
#pragma once

#include "platform/MessageBox.h"

#include <QStringList>

class RecordingMessageBox final : public platform::MessageBox {
public:
    void show(const QString& text) override { texts.append(text); }
    bool isOpen() const override { return false; }

    QStringList texts;
};
