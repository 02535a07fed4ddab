#include "platform/CommonDialog.h"

#include <algorithm>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QListView>
#include <QMimeDatabase>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <QUrl>

namespace platform {

namespace {

// Qt's own dialog opens small and sizes its columns without room for their margins: the side bar
// cuts a name like "examples" and the file list cuts sizes and dates. The widths here come from the
// widest texts each column shows in this locale, so they hold for any font and language.
void fitToContents(QFileDialog& dialog) {
    auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
    auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
    auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!splitter || !sidebar || !files)
        return;
    const QFontMetrics metrics(files->font());
    const QLocale locale = QLocale::system();
    // Room for a cell's margins and, in the header, the sort arrow.
    const int room = 2 * metrics.height();
    const auto widest = [&](const QStringList& texts) {
        int width = 0;
        for (const QString& text : texts)
            width = std::max(width, metrics.horizontalAdvance(text) + room);
        return width;
    };
    const QMimeDatabase types;
    // Dates in the file list may carry a month's name.
    QStringList dates;
    for (int month = 1; month <= 12; ++month)
        dates << locale.toString(QDateTime(QDate(2088, month, 28), QTime(23, 58, 58)),
                                 QLocale::ShortFormat);
    // Name, size, type, date modified.
    int widths[] = {
        widest({QString(40, QLatin1Char('n'))}),
        widest({locale.formattedDataSize(1023 * 1024 - 1), locale.formattedDataSize(1023)}),
        widest({types.mimeTypeForFile(QStringLiteral("a.pptx"), QMimeDatabase::MatchExtension)
                    .comment()}),
        widest(dates)};
    QHeaderView* header = files->header();
    for (int column = 1; column < 4; ++column)
        widths[column] = std::max(widths[column], header->sectionSizeHint(column));
    const int side = sidebar->sizeHintForColumn(0) + room;
    // The dialog's margins, the splitter's handle and the views' frames.
    const int frame = 4 * room;
    const QSize screen = dialog.screen() ? dialog.screen()->availableSize() : QSize(1024, 768);
    const int wanted = side + frame + widths[0] + widths[1] + widths[2] + widths[3];
    // On a narrow screen the type column gives way first: it tells least.
    if (wanted > screen.width())
        widths[2] = std::max(header->sectionSizeHint(2), widths[2] - (wanted - screen.width()));
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < 4; ++column)
        header->resizeSection(column, widths[column]);
    const QSize size = QSize(wanted, 30 * metrics.height()).boundedTo(screen);
    dialog.resize(size);
    splitter->setSizes({side, size.width() - side});
}

} // namespace

std::optional<QString> QtFilePrompt::askOpenFile(QWidget* parent, const QString& title,
                                                 const QString& directory, const QString& filters) {
    QFileDialog dialog(parent, title, directory, filters);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The same dialog on every desktop, with sizes, types and dates of the files.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setViewMode(QFileDialog::Detail);
    QList<QUrl> places{QUrl::fromLocalFile(QDir::homePath())};
    for (const QString& folder : m_places)
        if (QFileInfo(folder).isDir())
            places.append(QUrl::fromLocalFile(QFileInfo(folder).canonicalFilePath()));
    dialog.setSidebarUrls(places);
    fitToContents(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.first();
}

CommonDialog::CommonDialog(FilePrompt& prompt) : m_prompt(prompt) {}

bool CommonDialog::ShowOpen(QWidget* parent) {
    const std::optional<QString> chosen =
        m_prompt.askOpenFile(parent, m_title, m_initDir, m_filter);
    if (chosen)
        m_fileName = *chosen;
    return chosen.has_value();
}

} // namespace platform
