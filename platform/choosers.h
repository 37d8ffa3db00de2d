#pragma once
// The open-file dialog (multi-select, Windows-style filter) and the folder browser. UI thread only.
// Tests install handlers (in platform::desktopHooks) that return prepared answers instead of showing
// a modal dialog; ScopedChooserAnswers does it for a scope.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QWidget;

namespace platform {

// Turns a Windows filter "description|p1;p2|description|p3||" into Qt's "description (p1 p2);;
// description (p3)". Blanks around patterns are dropped and an entry of blank patterns is skipped;
// as in the Windows form, the list ends at the first empty part ("||").
QString WindowsFilterToQt(const QString& windowsFilter);

// Shows an open dialog for existing files, several may be chosen; returns the chosen absolute paths
// in the dialog's order, or an empty list when cancelled. windowsFilter is in the Windows form; the
// dialog opens in folder (empty: wherever the dialog itself chooses).
QStringList ChooseOpenFiles(QWidget* parent, const QString& title, const QString& windowsFilter,
                            const QString& folder = QString());

// Shows a folder browser titled title; returns the chosen folder (absolute, without a trailing slash
// except for "/"), or an empty text when cancelled.
QString ChooseFolder(QWidget* parent, const QString& title);

// Replace the dialogs; the handler gets what the dialog would have shown (the filter already in Qt's
// form) and returns what the user would have chosen. An empty function restores the dialog.
void SetOpenFilesHandler(
    std::function<QStringList(const QString& title, const QString& qtFilter, const QString& folder)> handler);
void SetFolderHandler(std::function<QString(const QString& title)> handler);

// Answers the choosers from queues of prepared answers while it lives and records what they were
// asked; an exhausted queue answers as a cancelled dialog. Restores the real dialogs when destroyed.
class ScopedChooserAnswers {
  public:
    ScopedChooserAnswers();
    ~ScopedChooserAnswers();
    ScopedChooserAnswers(const ScopedChooserAnswers&) = delete;
    ScopedChooserAnswers& operator=(const ScopedChooserAnswers&) = delete;

    void addOpenFilesAnswer(const QStringList& paths) { m_files.push_back(paths); }
    void addFolderAnswer(const QString& folder) { m_folders.push_back(folder); }

    // What the choosers were asked, in order: the titles, the Qt filters and the folders of the open
    // dialogs.
    const QStringList& openFilesTitles() const { return m_fileTitles; }
    const QStringList& openFilesFilters() const { return m_fileFilters; }
    const QStringList& openFilesFolders() const { return m_fileFolders; }
    const QStringList& folderTitles() const { return m_folderTitles; }

  private:
    std::deque<QStringList> m_files;
    std::deque<QString> m_folders;
    QStringList m_fileTitles;
    QStringList m_fileFilters;
    QStringList m_fileFolders;
    QStringList m_folderTitles;
};

}  // namespace platform
