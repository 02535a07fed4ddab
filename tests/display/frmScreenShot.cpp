// Saves a picture of the display numbers window as it opens, for the documentation:
//   QT_QPA_PLATFORM=offscreen frmScreenShot docs/frmScreen.png

#include "display/frmScreen.h"
#include "platform/Forms.h"
#include "tests/support/RecordingMessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QPixmap>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    RecordingMessageBox messages;
    platform::Forms forms;
    display::frmScreen screen({QString(), &messages, &forms});
    screen.Show();
    return screen.window()->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
