// The program's message box: modal, one OK button, titled "Quenvar". Modal boxes keep the event
// loop running, so a timer tick can run while one is open; isOpen() lets such a caller see that a
// box of the program is already waiting for the operator.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QWidget;

namespace platform {

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows text and returns once the operator has pressed OK.
    virtual void show(const QString& text) = 0;
    // True while a box shown by show() has not been dismissed yet.
    virtual bool isOpen() const = 0;
};

// The real one, on QMessageBox.
class QtMessageBox final : public MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr);
    // The window the boxes open over, once it exists (the control window: without it a box
    // opens in the middle of both displays, half on the audience's).
    void setParentWindow(QWidget* parent) { m_parent = parent; }
    void show(const QString& text) override;
    bool isOpen() const override;

private:
    QPointer<QWidget> m_parent;
    int m_open = 0;
};

} // namespace platform
