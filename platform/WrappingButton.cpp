#include "platform/WrappingButton.h"

#include <QShortcutEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace platform {

WrappingButton::WrappingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

int WrappingButton::textFlags() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
        flags |= Qt::TextHideMnemonic;
    return flags;
}

QRect WrappingButton::captionRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

void WrappingButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The style draws the bevel and the focus frame; the caption is drawn here, wrapped.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect area = captionRect();
    if (isDown() || isChecked()) {
        // A pressed button's caption moves with the bevel, as the style's own labels do.
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    painter.drawItemText(area, textFlags(), palette(), isEnabled(), text(), QPalette::ButtonText);
}

bool WrappingButton::event(QEvent* event) {
    // Qt plays an access key's click as a press held for a tenth of a second, and only then
    // clicks: the control window's moves would come that much later than a mouse click's.
    if (event->type() == QEvent::Shortcut && isEnabled() &&
        !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        click();
        return true;
    }
    return QPushButton::event(event);
}

} // namespace platform
