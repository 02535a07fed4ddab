#include "display/ScreenDialog.h"

#include "platform/Units.h"
#include "platform/WrappingButton.h"

#include <iterator>
#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace display {

namespace {

const QString kCaption = QStringLiteral("Load Display Attributes");
const QString kExplanation =
    QStringLiteral(" Enter the magic numbers for your muli-monitor setup and display resolution. "
                   "The default numbers are for side-by-side and 1024 X 768 display resolution.");

QRect twips(int left, int top, int width, int height) {
    return platform::twipsToPixels(QRect(left, top, width, height));
}

// The window was drawn in "MS Sans Serif", which exists only on Windows. Elsewhere the nearest face
// of the same build is taken: Microsoft's TrueType successor if installed, else Liberation Sans
// (metric-compatible with Arial, installed with the program), else Arial. Sizes are in pixels so
// that the text keeps fitting the controls, which are sized in pixels too.
QFont sansSerif(qreal points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(platform::pointsToPixels(points));
    font.setBold(bold);
    return font;
}

template <typename Widget> Widget* place(Widget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLineEdit* numberBox(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* box = place(new QLineEdit(text, parent), name, geometry);
    box->setAlignment(Qt::AlignCenter);
    box->setFont(sansSerif(12, true));
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, qreal points,
              QRect geometry) {
    auto* result = place(new QLabel(text, parent), name, geometry);
    result->setFont(sansSerif(points, true));
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    result->setWordWrap(true);
    return result;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    return place(new platform::WrappingButton(text, parent), name, geometry);
}

} // namespace

ScreenDialog::ScreenDialog() : QDialog(nullptr) {
    setObjectName(QStringLiteral("frmScreen"));
    setWindowTitle(kCaption);
    // A tool window stays out of the task bar without needing an owner; the customised hints keep
    // the title and the close button and leave out minimize, maximize and the help button. The
    // control window stays on top of everything and stands where this window opens: unless this
    // one is kept on top as well, the control window covers its boxes.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowStaysOnTopHint);
    setFont(sansSerif(8.25, false));
    setSizeGripEnabled(false);
    setModal(false);

    const QRect client = twips(5055, 2220, 4950, 3195);
    setGeometry(client);
    setFixedSize(client.size());

    // Made in tab order, so that the focus chain starts at OK.
    OKButton = button(this, "OKButton", QStringLiteral("OK"), twips(3480, 2160, 1215, 375));
    CancelButton =
        button(this, "CancelButton", QStringLiteral("Cancel"), twips(3480, 2640, 1215, 375));
    txtLeft = numberBox(this, "txtLeft", QStringLiteral("769"), twips(1560, 960, 1095, 495));
    txtWidth = numberBox(this, "txtWidth", QStringLiteral("768"), twips(1560, 2400, 1095, 495));
    txtTop = numberBox(this, "txtTop", QStringLiteral("0"), twips(1560, 1680, 1095, 495));
    Label1 = label(this, "Label1", kExplanation, 8.25, twips(120, 0, 4695, 735));
    Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label1->setLineWidth(1);
    Label2 = label(this, "Label2", QStringLiteral("Left"), 9.75, twips(240, 1080, 855, 255));
    Label3 = label(this, "Label3", QStringLiteral("Top"), 9.75, twips(240, 1800, 855, 255));
    Label4 =
        label(this, "Label4", QStringLiteral("Diagonal Point"), 9.75, twips(225, 2415, 1080, 555));
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    cmdLoadFile = button(this, "cmdLoadFile", QStringLiteral("Load Saved Magic  Numbers"),
                         twips(3240, 840, 1575, 495));
    cmdSaveFile = button(this, "cmdSaveFile", QStringLiteral("      Save Magic          Numbers"),
                         twips(3240, 1440, 1575, 495));

    // The labels name their boxes for assistive tools, as they stand beside them on the screen.
    Label2->setBuddy(txtLeft);
    Label3->setBuddy(txtTop);
    Label4->setBuddy(txtWidth);

    // The boxes run Left, Top, Width from top to bottom, but the tab order is Left, Width, Top.
    QWidget* const chain[] = {OKButton, CancelButton, txtLeft,    txtWidth,
                              txtTop,   cmdLoadFile,  cmdSaveFile};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);

    // No button is the default: Enter in a box presses nothing, and Enter on a button presses
    // that button (eventFilter), as the window always did.
    for (QPushButton* each : {OKButton, CancelButton, cmdLoadFile, cmdSaveFile}) {
        each->setAutoDefault(false);
        each->setDefault(false);
        each->installEventFilter(this);
    }
    OKButton->setFocus();
}

void ScreenDialog::reject() {
    emit cancelRequested();
}

void ScreenDialog::closeEvent(QCloseEvent* event) {
    // QDialog's own handling would reject as well, and Cancel would run twice. frmScreen destroys
    // the controls once the event is over.
    event->accept();
    emit cancelRequested();
}

bool ScreenDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace display
