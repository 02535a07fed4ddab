#include "show/frmQvr.h"

#include "platform/Conversion.h"
#include "platform/Forms.h"
#include "platform/MessageBox.h"
#include "platform/Units.h"
#include "platform/WrappingButton.h"
#include "show/Clicker.h"

#include <algorithm>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <utility>

namespace show {

using platform::Failure;

namespace {

const QString kCaption = QStringLiteral("Quenvar-Dual Monitor");
// Put first, as a title bar too narrow for the whole cuts off its end.
const QString kBlackPrefix = QStringLiteral("Projector blank (black) - ");
const QString kWhitePrefix = QStringLiteral("Projector blank (white) - ");
const QString kAskForInterval =
    QStringLiteral("Please enter timer interval before loading PPT file.");
const QString kNoShow =
    QStringLiteral("No slide show is loaded yet: press Load Show and choose a presentation first.");

// Where no display numbers were ever confirmed: the second of two 1024 x 768 displays.
constexpr float kDefaultLeft = 769.0f;
constexpr float kDefaultTop = 0.0f;
constexpr float kDefaultWidth = 768.0f;

QFont arial(qreal points, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(platform::pointsToPixels(points));
    font.setBold(bold);
    return font;
}

// Only the Windows core fonts have Arial Black; elsewhere the heaviest Arial-like face stands in.
QFont arialBlack(qreal points) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(platform::pointsToPixels(points));
    font.setWeight(QFont::Black);
    return font;
}

template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(platform::twipsToPixels(QRect(left, top, width, height)));
    return widget;
}

QLineEdit* textBox(QWidget* parent, const char* name, QRect twips, bool centred, bool enabled) {
    auto* box =
        place(new QLineEdit(parent), name, twips.x(), twips.y(), twips.width(), twips.height());
    if (centred)
        box->setAlignment(Qt::AlignCenter);
    box->setEnabled(enabled);
    // The display boxes are disabled so that nobody types into them, but the operator must read
    // them from a step away: their text stays dark.
    QPalette palette = box->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     palette.color(QPalette::Active, QPalette::Text));
    box->setPalette(palette);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect twips) {
    return place(new platform::WrappingButton(caption, parent), name, twips.x(), twips.y(),
                 twips.width(), twips.height());
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, QRect twips) {
    auto* result = place(new QLabel(caption, parent), name, twips.x(), twips.y(), twips.width(),
                         twips.height());
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return result;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// Runs steps inside the handler's one failure trap. Nothing may escape into Qt's event loop, so
// anything that is not a Failure is turned into one.
template <typename Steps, typename OnFailure> void trap(Steps&& steps, OnFailure&& onFailure) {
    try {
        steps();
    } catch (const Failure& failure) {
        onFailure(failure);
    } catch (const std::exception& error) {
        onFailure(Failure(platform::kProgramName, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        onFailure(Failure(platform::kProgramName, QStringLiteral("An unexpected error occurred.")));
    }
}

// The preselected filter carries the "*.ppt" pattern together with the other formats the office
// opens, so that today's .pptx and .odp files are not hidden at first sight.
QString dialogFilter() {
    return QStringLiteral("Presentations (*.ppt *.pptx *.pps *.ppsx *.odp);;"
                          "PowerPoint Presentations (*.ppt);;"
                          "PowerPoint 2007 Presentations (*.pptx);;"
                          "PowerPoint Shows (*.pps);;"
                          "PowerPoint 2007 Shows (*.ppsx);;"
                          "OpenDocument Presentations (*.odp);;"
                          "All Files (*)");
}

} // namespace

// While a handler waits for the presentation program or for the operator: ticks and slide-show
// events held back until it is done, and for the long waits of Load Show the wait cursor. Waits
// nest; the held events run once the outermost one ends.
class Waiting {
public:
    explicit Waiting(frmQvr& window, bool busyCursor = false)
        : m_window(window), m_busyCursor(busyCursor), m_outermost(!window.m_waiting) {
        if (m_busyCursor)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_window.m_waiting = true;
    }
    ~Waiting() {
        if (m_busyCursor)
            QApplication::restoreOverrideCursor();
        if (m_outermost) {
            m_window.m_waiting = false;
            m_window.waitingEnds();
        }
    }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    frmQvr& m_window;
    bool m_busyCursor;
    bool m_outermost;
};

frmQvr::frmQvr(Seams seams, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_seams(std::move(seams)), m_dialog(*m_seams.filePrompt), m_timer(m_seams.clock) {
    setObjectName(QStringLiteral("frmQvr"));
    setWindowTitle(kCaption);
    setFont(arial(10.5));
    setFixedSize(platform::twipsToPixels(QSize(4230, 3435)));
    move(platform::twipsToPixels(QPoint(3495, 2685)));
    // The link label turns blue again only when the pointer crosses the bare background.
    setMouseTracking(true);

    m_dialog.setDialogTitle(QStringLiteral("Load PowerPoint Presentation"));
    m_dialog.setFilter(dialogFilter());
    m_dialog.setInitDir(QDir::homePath());

    makeControls();
    new Clicker(this, {[this] { cmdNextSlide_Click(); }, [this] { cmdPreviousSlide_Click(); },
                       [this](PpSlideShowState colour) { blankOrShow(colour); }});
    connect(&m_timer, &platform::LongTimer::Timer, this, &frmQvr::LongTimer1_Timer);
    Form_Load();
}

frmQvr::~frmQvr() = default;

void frmQvr::makeControls() {
    // Made in tab order, so that the focus chain is the table's.
    txtLoadShow = textBox(this, "txtLoadShow", {1080, 360, 2745, 495}, false, false);
    txtLoadShow->setFont(arial(11.25));
    cmdGoto =
        button(this, "cmdGoto", QStringLiteral(" &Goto Slide   Number"), {1485, 1800, 1260, 645});
    txtGotoSlide = textBox(this, "txtGotoSlide", {3000, 1800, 660, 528}, true, true);
    txtSlideNum = textBox(this, "txtSlideNum", {577, 1800, 660, 528}, true, false);
    lblSlidenum = label(this, "lblSlidenum", QStringLiteral("Slide Num"), {0, 1800, 495, 495});
    // Narrow and tall: its caption breaks onto two lines.
    lblSlidenum->setWordWrap(true);
    // The address as a person reads it; the click opens the whole of it.
    Label1 = label(this, "Label1", QUrl(kMakerAddress).host(), {840, 3120, 2535, 255});
    Label1->setFont(arial(11.25, true));
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setMouseTracking(true);
    Label1->installEventFilter(this);
    setTextColour(Label1, QColor(0, 0, 255));
    txtTotalslides = textBox(this, "txtTotalslides", {240, 360, 615, 495}, true, false);
    cmdNextSlide =
        button(this, "cmdNextSlide", QStringLiteral("&Next  Slide"), {91, 960, 1260, 645});
    cmdLoadShow = button(this, "cmdLoadShow", QStringLiteral("&Load Show"), {1485, 960, 1260, 645});
    cmdPreviousSlide = button(this, "cmdPreviousSlide", QStringLiteral("   &Previous    Slide"),
                              {2880, 960, 1260, 645});
    Label2 = label(this, "Label2", QStringLiteral("Current Slide Show"), {1440, 120, 1815, 255});
    Label3 = label(this, "Label3", QStringLiteral("Total Slides"), {0, 120, 1335, 255});
    cmdLoadScreenNum =
        button(this, "cmdLoadScreenNum", QStringLiteral("    Load &Display    Numbers"),
               {1208, 2520, 1815, 615});
    Text1 = textBox(this, "Text1", {3360, 2700, 645, 615}, true, true);
    Text1->setFont(arialBlack(12));
    Label4 = label(this, "Label4", QStringLiteral("Timer"), {3420, 2400, 690, 255});

    connect(cmdLoadShow, &QPushButton::clicked, this, &frmQvr::cmdLoadShow_Click);
    connect(cmdNextSlide, &QPushButton::clicked, this, &frmQvr::cmdNextSlide_Click);
    connect(cmdPreviousSlide, &QPushButton::clicked, this, &frmQvr::cmdPreviousSlide_Click);
    connect(cmdGoto, &QPushButton::clicked, this, &frmQvr::cmdGoto_Click);
    connect(cmdLoadScreenNum, &QPushButton::clicked, this, &frmQvr::cmdLoadScreenNum_Click);
}

void frmQvr::Form_Load() {
    m_seams.forms->add(this);
    if (m_seams.makeTopmost)
        m_seams.makeTopmost(this);
}

display::frmScreen& frmQvr::frmScreen() {
    if (!m_screen)
        m_screen = std::make_unique<display::frmScreen>(
            display::frmScreen::Seams{m_seams.numbersFile, m_seams.messageBox, m_seams.forms});
    return *m_screen;
}

std::shared_ptr<PpPresentation> frmQvr::presentation() const {
    if (!ppPres1)
        throw Failure(platform::kProgramName, kNoShow);
    return ppPres1;
}

void frmQvr::writeNumber(QLineEdit* box, int32_t value) {
    box->setEnabled(true);
    box->setText(platform::decimalText(value));
    box->setEnabled(false);
}

void frmQvr::report(const Failure& failure, bool fromTimer) {
    // Left alone, the timer goes on pressing Next Slide after the show has ended; a box per tick,
    // each opened while the one before still waits, would nest without bound. One is enough.
    if (fromTimer && m_seams.messageBox->isOpen())
        return;
    if (fromTimer && m_tickFailure)
        return m_tickFailure(failure);
    m_seams.messageBox->show(failure.message());
}

void frmQvr::cmdLoadShow_Click() {
    const std::shared_ptr<PpPresentation> before = ppPres1;
    std::optional<Failure> failed;
    {
        // Ticks wait while the operator chooses a file, too: a box a tick opened would land over
        // the dialog and take the keys typed into it.
        Waiting waiting(*this);
        trap(
            [this] {
                const bool pathShown = txtLoadShow->isEnabled();
                txtLoadShow->setEnabled(true);
                if (m_seams.prepareProgram)
                    m_seams.prepareProgram();
                if (!m_dialog.ShowOpen(this)) {
                    // Cancelled: nothing is loaded and nothing said.
                    txtLoadShow->setEnabled(pathShown);
                    return;
                }
                txtLoadShow->setText(m_dialog.FileName());
                openAndRun(std::nullopt);
                m_timer.setEnabled(true);
                m_timer.setInterval(platform::toSingle(Text1->text()));
            },
            [&failed](const Failure& failure) { failed = failure; });
        if (ppPres1 != before)
            newShowStarted();
    }
    // The message waits for nobody: the show it is about runs on, with its ticks.
    if (!failed)
        return;
    // Only a missing interval asks for one (Text1 is the one text converted here); any other
    // failure says what went wrong.
    if (failed->description() == platform::kTypeMismatch && m_timer.interval() == 0.0f)
        m_seams.messageBox->show(kAskForInterval);
    else
        report(*failed);
}

// A new show starts on its first slide and stays there a whole interval: a tick held while it
// loaded was meant for the show before.
void frmQvr::newShowStarted() {
    m_tickDue = false;
    m_timer.restart();
}

// The steps of Load Show from a new application to the filled boxes, for the file txtLoadShow
// names: the show placed at place, else by the display numbers, else at the defaults.
void frmQvr::openAndRun(std::optional<Placement> place) {
    Waiting busy(*this, true);
    ppApp = m_seams.createObject(kPowerPointProgId);
    ppApp->setSlideShowNextSlide([window = QPointer<frmQvr>(this)] {
        if (window)
            window->SlideShowNextSlide();
    });
    ppApp->setVisible(true);
    ppPres1 = ppApp->Presentations()->Open(txtLoadShow->text());
    ppPres1->SlideShowSettings()->Run();

    const std::shared_ptr<PpSlideShowWindow> window = ppPres1->SlideShowWindow();
    if (!place) {
        const display::frmScreen& screen = frmScreen();
        place = screen.intDisplaySet == 1
                    ? Placement{float(screen.intLeft), float(screen.intTop), float(screen.intWidth)}
                    : Placement{kDefaultLeft, kDefaultTop, kDefaultWidth};
    }
    window->setLeft(place->left);
    window->setTop(place->top);
    window->setWidth(place->width);

    writeNumber(txtSlideNum,
                ppPres1->Application()->ActivePresentation()->Slides()->Item(1)->SlideIndex());
    writeNumber(txtTotalslides, ppPres1->Application()->ActivePresentation()->Slides()->Count());
}

void frmQvr::loadShowFile(const QString& fileName, std::optional<Placement> place,
                          std::optional<float> interval, int32_t startSlide) {
    Waiting waiting(*this, true);
    txtLoadShow->setEnabled(true);
    txtLoadShow->setText(fileName);
    openAndRun(place);
    if (startSlide > 1) {
        const int32_t slide = std::min(startSlide, slideCount());
        ppPres1->SlideShowWindow()->View()->GotoSlide(slide, true);
        writeNumber(txtSlideNum, slide);
    }
    if (interval) {
        Text1->setText(QString::number(*interval));
        m_timer.setEnabled(true);
        m_timer.setInterval(*interval);
    }
    newShowStarted();
}

std::optional<bool> frmQvr::showRunning() {
    if (m_waiting || !ppPres1)
        return std::nullopt;
    try {
        ppPres1->SlideShowWindow();
        return true;
    } catch (const Failure&) {
        return false;
    }
}

bool frmQvr::checkShow() {
    if (m_waiting || !ppPres1)
        return false;
    try {
        Waiting waiting(*this);
        const std::shared_ptr<PpSlideShowWindow> window = ppPres1->SlideShowWindow();
        window->View()->State();
        window->Activate();
        return true;
    } catch (const Failure&) {
        return false;
    }
}

int32_t frmQvr::slideInView() const {
    return txtSlideNum->text().toInt();
}

int32_t frmQvr::slideCount() const {
    return txtTotalslides->text().toInt();
}

void frmQvr::nextOrPrevious(bool next, bool fromTimer) {
    trap(
        [this, next] {
            Waiting waiting(*this);
            presentation()->SlideShowWindow()->Activate();
            const std::shared_ptr<PpSlideShowView> view = presentation()->SlideShowWindow()->View();
            if (next)
                view->Next();
            else
                view->Previous();
            txtSlideNum->setEnabled(true);
            const int32_t index = presentation()->SlideShowWindow()->View()->Slide()->SlideIndex();
            txtSlideNum->setText(platform::decimalText(index));
            txtSlideNum->setEnabled(false);
        },
        [this, fromTimer](const Failure& failure) {
            // A display box stays out of the operator's reach, also when the index could not be
            // read.
            txtSlideNum->setEnabled(false);
            report(failure, fromTimer);
        });
}

void frmQvr::cmdNextSlide_Click() {
    nextOrPrevious(true, false);
}

void frmQvr::cmdPreviousSlide_Click() {
    nextOrPrevious(false, false);
}

void frmQvr::LongTimer1_Timer() {
    // The operator blanked the projector to speak to the room: the timer leaves it blank, as a
    // show's own timings wait while the screen is blank.
    if (m_projectorBlank)
        return;
    if (m_waiting)
        m_tickDue = true;
    else
        nextOrPrevious(true, true);
}

void frmQvr::waitingEnds() {
    if (std::exchange(m_tickDue, false))
        QTimer::singleShot(0, this, &frmQvr::LongTimer1_Timer);
    if (std::exchange(m_followDue, false))
        QTimer::singleShot(0, this, &frmQvr::SlideShowNextSlide);
}

// The show moved by itself, or by a hand or a remote at the show window: the console follows,
// with the slide the presentation program reports. Nobody pressed anything, so a show that has
// ended is not reported here; the next press or tick says so.
void frmQvr::SlideShowNextSlide() {
    if (m_waiting) {
        m_followDue = true;
        return;
    }
    if (!ppPres1)
        return;
    trap(
        [this] {
            Waiting waiting(*this);
            showState(ppPres1->SlideShowWindow()->View()->State());
            writeNumber(txtSlideNum, ppPres1->SlideShowWindow()->View()->Slide()->SlideIndex());
        },
        [this](const Failure&) {
            txtSlideNum->setEnabled(false);
            showState(ppSlideShowRunning); // an ended show blanks nothing
        });
}

void frmQvr::cmdGoto_Click() {
    trap(
        [this] {
            lngGotoSlide = platform::toLong(txtGotoSlide->text());
            Waiting waiting(*this);
            presentation()->SlideShowWindow()->View()->GotoSlide(lngGotoSlide, true);
            writeNumber(txtSlideNum, lngGotoSlide);
        },
        [this](const Failure& failure) { report(failure); });
}

void frmQvr::blankOrShow(PpSlideShowState colour) {
    trap(
        [this, colour] {
            Waiting waiting(*this);
            const std::shared_ptr<PpSlideShowView> view = presentation()->SlideShowWindow()->View();
            view->setState(view->State() == colour ? ppSlideShowRunning : colour);
            showState(view->State());
        },
        [this](const Failure& failure) { report(failure); });
}

// A blank projector is easily forgotten: the operator reads it in the title for as long as it
// lasts. Every move shows a slide again, and the show's event after it brings the title back.
void frmQvr::showState(PpSlideShowState state) {
    m_projectorBlank = state == ppSlideShowBlackScreen || state == ppSlideShowWhiteScreen;
    if (state == ppSlideShowBlackScreen)
        setWindowTitle(kBlackPrefix + kCaption);
    else if (state == ppSlideShowWhiteScreen)
        setWindowTitle(kWhitePrefix + kCaption);
    else
        setWindowTitle(kCaption);
}

void frmQvr::cmdLoadScreenNum_Click() {
    frmScreen().Show();
}

void frmQvr::Label1_Click() {
    if (m_seams.openUrl)
        m_seams.openUrl(QUrl(kMakerAddress));
}

bool frmQvr::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1) {
        if (event->type() == QEvent::MouseMove) {
            setTextColour(Label1, QColor(255, 0, 0));
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                Label1->rect().contains(mouse->position().toPoint()))
                Label1_Click();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmQvr::mouseMoveEvent(QMouseEvent* event) {
    // Form_MouseMove: only the window's bare background counts. Moves over a control that does
    // not want them arrive here too, passed up from the control.
    if (!childAt(event->position().toPoint()))
        setTextColour(Label1, QColor(0, 0, 255));
    QWidget::mouseMoveEvent(event);
}

void frmQvr::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmQvr::Form_Unload() {
    platform::Forms& forms = *m_seams.forms;
    while (forms.count() > 1) {
        int index = 0;
        while (index < forms.count() && forms.caption(index) == windowTitle())
            ++index;
        // Every other window bears this caption too: nothing is left that could be unloaded.
        if (index == forms.count())
            break;
        QWidget* window = forms.at(index);
        forms.remove(window);
        if (m_screen && window == m_screen->window())
            m_screen->Unload();
        else
            delete window;
    }
    if (m_seams.releaseProgram)
        m_seams.releaseProgram();
    // The references to the presentation program are dropped with the window, never called: the
    // show, the presentation and the office keep running.
    if (m_seams.endProgram)
        m_seams.endProgram();
    else
        QCoreApplication::quit();
}

} // namespace show
