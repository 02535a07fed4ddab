// A push button whose caption wraps onto several lines inside the button. The program's windows
// were drawn with long captions whose runs of spaces break them in two (the display numbers
// window's file buttons, the control window's buttons); QPushButton draws its text on one line only
// and would cut them off. Everything but the caption is the style's ordinary push button, and an
// '&' in the caption still marks the access key, which clicks the button at once.
#pragma once

#include <QPushButton>

namespace platform {

class WrappingButton : public QPushButton {
    Q_OBJECT
public:
    explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

    // The flags the caption is laid out with inside contentsRect(), for painting and for checking
    // that a caption fits.
    int textFlags() const;
    // Where the caption goes: the style's contents area of the button.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace platform
