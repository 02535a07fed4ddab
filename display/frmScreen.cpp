#include "display/frmScreen.h"

#include "display/ScreenDialog.h"
#include "linereader/Class1.h"
#include "platform/Conversion.h"
#include "platform/Failure.h"
#include "platform/Forms.h"
#include "platform/MessageBox.h"
#include "platform/TextFileWriter.h"

#include <cstring>
#include <exception>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

namespace display {

namespace {

using platform::Failure;
using platform::kProgramName;

const QString kRange =
    QStringLiteral("Type a whole number from -32768 to 32767 and press OK again.");

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString noSavedNumbers(const QString& path) {
    return kProgramName + QLatin1Char(' ') +
           QStringLiteral("There are no saved display numbers in the file %1. Save them first "
                          "with \"Save Magic Numbers\".")
               .arg(shown(path));
}

QString cannotRead(const QString& path, const QString& why) {
    return kProgramName + QLatin1Char(' ') +
           QStringLiteral("The display numbers file %1 could not be read (%2); no numbers were "
                          "loaded.")
               .arg(shown(path), why);
}

} // namespace

QString defaultNumbersFilePath() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Qvr");
#else
    return QDir::homePath() + QStringLiteral("/Qvr");
#endif
}

frmScreen::frmScreen(Seams seams) : m_seams(std::move(seams)) {
    Q_ASSERT(m_seams.messageBox);
    Q_ASSERT(m_seams.forms);
}

frmScreen::~frmScreen() {
    delete m_window.data();
}

QDialog* frmScreen::window() const {
    return m_window.data();
}

void frmScreen::makeControls() {
    m_window = new ScreenDialog;
    connect(m_window->OKButton, &QPushButton::clicked, this, &frmScreen::OKButton_Click);
    connect(m_window->CancelButton, &QPushButton::clicked, this, &frmScreen::CancelButton_Click);
    connect(m_window->cmdLoadFile, &QPushButton::clicked, this, &frmScreen::cmdLoadFile_Click);
    connect(m_window->cmdSaveFile, &QPushButton::clicked, this, &frmScreen::cmdSaveFile_Click);
    connect(m_window, &ScreenDialog::cancelRequested, this, &frmScreen::CancelButton_Click);
    m_seams.forms->add(m_window);
}

void frmScreen::Show() {
    if (!m_window)
        makeControls();
    // Minimized through the window manager, the window has no task bar entry to come back by: this
    // is its way back. It may also be open behind the control window.
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void frmScreen::Unload() {
    if (!m_window)
        return;
    ScreenDialog* window = m_window;
    m_window = nullptr;
    m_seams.forms->remove(window);
    window->hide();
    // Unload runs from the window's own buttons and close event, so the controls go once that
    // event is over.
    window->deleteLater();
}

void frmScreen::CancelButton_Click() {
    Unload();
}

void frmScreen::OKButton_Click() {
    if (!m_window)
        return;
    struct Box {
        QLineEdit* box;
        QString name;
        int16_t value = 0;
    };
    // All three are converted before any member changes, so that a box the conversion refuses
    // leaves the confirmed numbers as they were and the window open for a correction.
    const QPointer<ScreenDialog> window = m_window;
    Box boxes[] = {{m_window->txtLeft, QStringLiteral("Left")},
                   {m_window->txtTop, QStringLiteral("Top")},
                   {m_window->txtWidth, QStringLiteral("Diagonal Point")}};
    for (Box& each : boxes) {
        try {
            each.value = platform::toInteger(each.box->text());
        } catch (const Failure& failure) {
            m_seams.messageBox->show(
                failure.source() + QLatin1Char(' ') +
                QStringLiteral("%1 in the \"%2\" box. ").arg(failure.description(), each.name) +
                kRange);
            // The message box keeps events running; the window may have been closed meanwhile.
            if (window && window == m_window) {
                each.box->setFocus();
                each.box->selectAll();
            }
            return;
        }
    }
    intDisplaySet = 1;
    intLeft = boxes[0].value;
    intTop = boxes[1].value;
    intWidth = boxes[2].value;
    Unload();
}

void frmScreen::cmdSaveFile_Click() {
    if (!m_window)
        return;
    const QString line = m_window->txtLeft->text() + QLatin1Char(',') + m_window->txtTop->text() +
                         QLatin1Char(',') + m_window->txtWidth->text();
    // 8-bit text: a character beyond Latin-1 becomes '?', as the ANSI code page would make it.
    const QByteArray content = line.toLatin1() + QByteArrayLiteral("\r\n");
    try {
        platform::writeTextFile(m_seams.numbersFile, content);
    } catch (const Failure& failure) {
        m_seams.messageBox->show(failure.message());
    } catch (const std::exception& error) {
        m_seams.messageBox->show(
            kProgramName + QLatin1Char(' ') +
            QStringLiteral("The display numbers could not be saved in %1: %2")
                .arg(shown(m_seams.numbersFile), QString::fromLocal8Bit(error.what())));
    }
}

void frmScreen::cmdLoadFile_Click() {
    ReadAFile(m_seams.numbersFile);
}

void frmScreen::ReadAFile(const QString& strFileName) {
    if (!m_window)
        return;
    // Opening a missing file would create it empty; a load has no business writing files.
    if (!QFileInfo::exists(strFileName)) {
        m_seams.messageBox->show(noSavedNumbers(strFileName));
        return;
    }

    // The reader lets window events run while it reads, and one of them may close the window.
    const QPointer<ScreenDialog> window = m_window;
    std::string line;
    {
        Class1 reader;
        reader.setFileName(QFile::encodeName(strFileName).toStdString());
        reader.setNoBlankLines(true);
        reader.setCountOnlyNonBlankLines(false);
        reader.setStripLeadingSpaces(false);
        reader.setStripTrailingSpaces(false);
        reader.setStripNulls(true);
        reader.setOnlyAlphaNumericCharacters(true);
        const int16_t result = reader.cfOpenFile();
        if (result != 0) {
            m_seams.messageBox->show(
                cannotRead(strFileName, QString::fromLocal8Bit(std::strerror(result))));
            return;
        }
        try {
            reader.csGetALine();
        } catch (const std::exception& error) {
            m_seams.messageBox->show(cannotRead(strFileName, QString::fromLocal8Bit(error.what())));
            return;
        }
        line = reader.Text();
    }
    if (!window || window != m_window)
        return;

    // The printable-characters filter has left only codes 32 to 126, so Latin-1 is exact.
    const QStringList fields = QString::fromLatin1(line).split(QLatin1Char(','));
    if (fields.size() < 3) {
        m_seams.messageBox->show(noSavedNumbers(strFileName));
        return;
    }
    window->txtLeft->setText(fields[0]);
    window->txtTop->setText(fields[1]);
    window->txtWidth->setText(fields[2]);
}

} // namespace display
