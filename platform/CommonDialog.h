// The open-file dialog: the few properties of the original common dialog control that the control
// window uses, with the asking itself behind FilePrompt so that tests can answer it.
#pragma once

#include <optional>
#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

// Asks the operator for one existing file. Returns the full path, or nothing when cancelled.
class FilePrompt {
public:
    virtual ~FilePrompt() = default;
    virtual std::optional<QString> askOpenFile(QWidget* parent, const QString& title,
                                               const QString& directory,
                                               const QString& filters) = 0;
};

// The real one, on QFileDialog.
class QtFilePrompt final : public FilePrompt {
public:
    std::optional<QString> askOpenFile(QWidget* parent, const QString& title,
                                       const QString& directory, const QString& filters) override;
    // Folders offered in the dialog's side bar besides the home folder, such as the sample
    // presentations; folders that do not exist are left out.
    void setPlaces(const QStringList& folders) { m_places = folders; }

private:
    QStringList m_places;
};

class CommonDialog {
public:
    explicit CommonDialog(FilePrompt& prompt);

    QString DialogTitle() const { return m_title; }
    void setDialogTitle(const QString& title) { m_title = title; }
    // Qt's filter string, ";;"-separated; the first filter is preselected.
    QString Filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString& dir) { m_initDir = dir; }
    // The full path of the file chosen last.
    QString FileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }

    // Modal. Returns false when the operator cancels, and then keeps the previous FileName.
    [[nodiscard]] bool ShowOpen(QWidget* parent = nullptr);

private:
    FilePrompt& m_prompt;
    QString m_title;
    QString m_filter;
    QString m_initDir;
    QString m_fileName;
};

} // namespace platform
