// The control window: the small always-on-top console from which the operator loads a
// presentation, has the presentation program run it as a slide show on the second display, moves
// through it and lets a timer advance it. It reaches the presentation program only through the
// interface in PowerPoint.h, made by the factory it is given, and the display numbers only through
// frmScreen, which it creates on first touch. Everything a test needs to replace comes in through
// Seams.
#pragma once

#include "display/frmScreen.h"
#include "platform/CommonDialog.h"
#include "platform/LongTimer.h"
#include "show/PowerPoint.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class Forms;
class MessageBox;
} // namespace platform

namespace show {

// The maker's web address, opened by the link label.
inline const QString kMakerAddress = QStringLiteral("https://quenvar.example/");

class frmQvr : public QWidget {
    Q_OBJECT
public:
    struct Seams {
        PpApplicationFactory createObject;          // required
        platform::FilePrompt* filePrompt = nullptr; // required
        platform::MessageBox* messageBox = nullptr; // required
        platform::Forms* forms = nullptr;           // required
        std::function<void(QWidget*)> makeTopmost;  // may be empty
        std::function<void(const QUrl&)> openUrl;   // may be empty
        const platform::Clock* clock = nullptr;     // nullptr: the steady clock
        QString numbersFile = display::defaultNumbersFilePath();
        // Ends the program once the windows are unloaded; empty means QCoreApplication::quit.
        std::function<void()> endProgram;
        // Called as the open-file dialog opens, so that the presentation program gets ready while
        // the operator chooses; returns at once. May be empty.
        std::function<void()> prepareProgram;
        // Called as the window unloads: ends what prepareProgram started if no show ran on it.
        std::function<void()> releaseProgram;
    };
    explicit frmQvr(Seams seams, QWidget* parent = nullptr);
    ~frmQvr() override;

    // The display numbers window, created on first touch without being shown.
    display::frmScreen& frmScreen();
    platform::LongTimer& LongTimer1() { return m_timer; }
    platform::CommonDialog& CommonDialog1() { return m_dialog; }

    // The handlers, public so that tests and the timer can run them directly.
    void cmdLoadShow_Click();
    void cmdNextSlide_Click();
    void cmdPreviousSlide_Click();
    void cmdGoto_Click();
    void cmdLoadScreenNum_Click();
    void Label1_Click();
    // Blanks the projector to colour (black or white), or shows the slide again when it is blank
    // in that colour already. The clicker's b and w keys.
    void blankOrShow(PpSlideShowState colour);

    // For a show started without the operator (the command line, its supervisor).
    // Where such a show goes, in points, as the display numbers say it.
    struct Placement {
        float left = 0;
        float top = 0;
        float width = 0;
    };
    // Loads fileName as Load Show does, without the dialog and without a message box: the show
    // placed at place, else by the display numbers; moved on to startSlide when that is past the
    // first; the timer switched on with interval when there is one, else left as it is. Throws
    // platform::Failure.
    void loadShowFile(const QString& fileName, std::optional<Placement> place,
                      std::optional<float> interval, int32_t startSlide = 1);
    // Whether the show loaded last runs, as far as the presentation program has told, without
    // waiting for it; empty while a handler waits for the program or no show was loaded.
    std::optional<bool> showRunning();
    // Whether the presentation program tells where the show stands (on a slide, blank, at its end)
    // within its time limit; when it does, the show is brought forward on its display again, over
    // whatever came over it since. Waits for the program as a press does.
    bool checkShow();
    // A handler waits for the presentation program: nothing else may call it now.
    bool busy() const { return m_waiting; }
    // The slide number and the slide count the console shows, 0 where it shows none.
    int32_t slideInView() const;
    int32_t slideCount() const;
    // When set, a tick's failure goes to handler instead of a message box.
    void setTickFailureHandler(std::function<void(const platform::Failure&)> handler) {
        m_tickFailure = std::move(handler);
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Form_Load();
    void LongTimer1_Timer();
    void SlideShowNextSlide();
    void waitingEnds();
    void openAndRun(std::optional<Placement> place);
    void newShowStarted();
    void nextOrPrevious(bool next, bool fromTimer);
    void Form_Unload();
    void makeControls();
    void writeNumber(QLineEdit* box, int32_t value);
    void report(const platform::Failure& failure, bool fromTimer = false);
    void showState(PpSlideShowState state);
    std::shared_ptr<PpPresentation> presentation() const;

    friend class Waiting;

    Seams m_seams;
    platform::CommonDialog m_dialog;
    platform::LongTimer m_timer;
    std::unique_ptr<display::frmScreen> m_screen;

    std::shared_ptr<PpApplication> ppApp;
    std::shared_ptr<PpPresentation> ppPres1;
    int32_t lngGotoSlide = 0;
    // Set while a handler waits for the presentation program. The windows keep painting then, and
    // a tick or a slide-show event that comes meanwhile runs once the handler is done, not inside
    // it: the program takes one request at a time.
    bool m_waiting = false;
    bool m_tickDue = false;
    bool m_followDue = false;
    // The projector shows black or white instead of the slide; ticks pass it by.
    bool m_projectorBlank = false;
    std::function<void(const platform::Failure&)> m_tickFailure;

    QLineEdit* txtLoadShow = nullptr;
    QPushButton* cmdGoto = nullptr;
    QLineEdit* txtGotoSlide = nullptr;
    QLineEdit* txtSlideNum = nullptr;
    QLabel* lblSlidenum = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTotalslides = nullptr;
    QPushButton* cmdNextSlide = nullptr;
    QPushButton* cmdLoadShow = nullptr;
    QPushButton* cmdPreviousSlide = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* cmdLoadScreenNum = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label4 = nullptr;
};

} // namespace show
