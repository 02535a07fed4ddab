#include "platform/CommonDialog.h"

#include "platform/Failure.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace platform {

std::optional<QString> QtFilePrompt::askOpenFile(QWidget* parent, const QString& title,
                                                 const QString& directory, const QString& filters) {
    QFileDialog dialog(parent, title, directory, filters);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QList<QUrl> places{QUrl::fromLocalFile(QDir::homePath())};
    for (const QString& folder : m_places)
        if (QFileInfo(folder).isDir())
            places.append(QUrl::fromLocalFile(QFileInfo(folder).canonicalFilePath()));
    dialog.setSidebarUrls(places);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.first();
}

CommonDialog::CommonDialog(FilePrompt& prompt) : m_prompt(prompt) {}

void CommonDialog::ShowOpen(QWidget* parent) {
    const std::optional<QString> chosen =
        m_prompt.askOpenFile(parent, m_title, m_initDir, m_filter);
    if (!chosen)
        throw Failure(kProgramName, QStringLiteral("Cancel was selected."));
    m_fileName = *chosen;
}

} // namespace platform
