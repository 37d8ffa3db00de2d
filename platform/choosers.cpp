#include "platform/choosers.h"

#include <QDir>
#include <QFileDialog>

#include "platform/desktop_hooks.h"

namespace platform {

namespace {
auto& FilesHandler() { return desktopHooks.open_files; }
auto& FolderHandler() { return desktopHooks.folder; }
}  // namespace

QString WindowsFilterToQt(const QString& windowsFilter) {
    // The Windows form is a list of NUL-separated strings ended by an empty one: any empty part ends it.
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() || parts[i + 1].isEmpty()) break;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'))) {
            if (!pattern.trimmed().isEmpty()) patterns << pattern.trimmed();
        }
        if (patterns.isEmpty()) continue;
        const QString description = parts[i].trimmed();
        const QString list = patterns.join(QLatin1Char(' '));
        entries << (description.isEmpty() ? QStringLiteral("(%1)").arg(list)
                                          : QStringLiteral("%1 (%2)").arg(description, list));
    }
    return entries.join(QStringLiteral(";;"));
}

QStringList ChooseOpenFiles(QWidget* parent, const QString& title, const QString& windowsFilter,
                            const QString& folder) {
    const QString filter = WindowsFilterToQt(windowsFilter);
    if (FilesHandler()) return FilesHandler()(title, filter, folder);
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

QString ChooseFolder(QWidget* parent, const QString& title) {
    QString folder = FolderHandler() ? FolderHandler()(title)
                                     : QFileDialog::getExistingDirectory(parent, title, QString(),
                                                                         QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return {};
    folder = QDir::cleanPath(folder);  // no trailing slash, except for the root
    return folder;
}

void SetOpenFilesHandler(
    std::function<QStringList(const QString& title, const QString& qtFilter, const QString& folder)>
        handler) {
    FilesHandler() = std::move(handler);
}

void SetFolderHandler(std::function<QString(const QString& title)> handler) {
    FolderHandler() = std::move(handler);
}

ScopedChooserAnswers::ScopedChooserAnswers() {
    SetOpenFilesHandler([this](const QString& title, const QString& filter, const QString& folder) {
        m_fileTitles << title;
        m_fileFilters << filter;
        m_fileFolders << folder;
        if (m_files.empty()) return QStringList();
        QStringList answer = m_files.front();
        m_files.pop_front();
        return answer;
    });
    SetFolderHandler([this](const QString& title) {
        m_folderTitles << title;
        if (m_folders.empty()) return QString();
        QString answer = m_folders.front();
        m_folders.pop_front();
        return answer;
    });
}

ScopedChooserAnswers::~ScopedChooserAnswers() {
    SetOpenFilesHandler({});
    SetFolderHandler({});
}

}  // namespace platform
