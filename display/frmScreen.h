// The display numbers window: where the operator sets Left, Top and Width ("Diagonal Point") of
// the slide-show window, confirms them with OK, and saves them to or loads them from the display
// numbers file. One object for the whole run; its controls (the dialog) are made each time it is
// shown and destroyed by OK or Cancel, while the confirmed numbers live on in its members, which
// Load Show reads.
//
// The file is one line of 8-bit text, "Left,Top,Width" and CR LF, written as the boxes hold it.
// Saving replaces the file in one step, so a failed save keeps the earlier numbers; loading reads
// the first non-blank line through the line reader Class1.
#pragma once

#include <cstdint>
#include <optional>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

namespace platform {
class Forms;
class MessageBox;
} // namespace platform

namespace display {

class ScreenDialog;

// The display numbers file: C:\Qvr on Windows, the file Qvr in the home folder elsewhere.
QString defaultNumbersFilePath();

class frmScreen : public QObject {
    Q_OBJECT
public:
    struct Seams {
        QString numbersFile = defaultNumbersFilePath();
        platform::MessageBox* messageBox = nullptr; // required
        platform::Forms* forms = nullptr;           // required
    };
    explicit frmScreen(Seams seams);
    ~frmScreen() override;

    // The display numbers, in points. Only OK writes them; intDisplaySet is empty until the first
    // OK and 1 from then on.
    int16_t intWidth = 0;
    int16_t intTop = 0;
    int16_t intLeft = 0;
    std::optional<int16_t> intDisplaySet;

    // Makes the controls if they are not loaded, shows the window modeless and without an owner,
    // restores it if it was minimized, and brings it forward over the control window.
    void Show();
    // Destroys the controls, as closing the window does; the members stay.
    void Unload();
    // The controls while loaded, else nullptr.
    QDialog* window() const;

    // Fills the three boxes from the first non-blank line of the file. Does nothing while the
    // controls are not loaded. A file that is missing, cannot be read or has fewer than three
    // fields on that line leaves the boxes as they are and says so in one message box.
    void ReadAFile(const QString& strFileName);

    // The buttons' handlers, public so that the control window's tests can press them directly.
    // Closing the window through the window system runs CancelButton_Click.
    void CancelButton_Click();
    void cmdLoadFile_Click();
    void cmdSaveFile_Click();
    void OKButton_Click();

private:
    void makeControls();

    Seams m_seams;
    QPointer<ScreenDialog> m_window;
};

} // namespace display
