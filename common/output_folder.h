#pragma once
// What the cut and merge settings dialogs share: the output folder browser with its re-ask, the
// folder test with a probe file, the stored list indexes and the language texts of their controls.
// UI thread only.

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QWidget;

namespace common {

// The file the folder test creates and deletes in the output folder.
inline constexpr const char* kFolderProbeFile = "jlewhqlhqwenqfwk.mp4";

enum class FolderTest { kOk, kMissing, kNotWritable };

// Whether a file can be made in folder: creates the probe file there and deletes it again. A file
// of that name that exists already is left alone; the folder's permissions decide then.
FolderTest TestOutputFolder(const QString& folder);

// The browse procedure: asks for a folder (titled "xzscml") until the user cancels or picks one that
// exists ("mlmwx" for one that does not); a chosen folder goes into folder_field and into "name" of
// section "PATH" of the settings file.
void BrowseOutputFolder(QWidget* parent, QLineEdit* folder_field, const QString& settings_path,
                        const QString& language_path);

// The folder the add dialog opens in: the one files were last added from ("tjml" of "PATH" in the
// settings file) while it exists, else `fallback` (a standard folder such as the user's music or
// videos) when that exists, else the home folder.
QString AddFolder(const QString& settings_path, const QString& fallback);
// Remembers the folder of an added file for the next add dialog.
void RememberAddFolder(const QString& settings_path, const QString& added_path);

// Selects the item at a stored index; an index outside the list leaves no selection.
void SelectStoredIndex(QComboBox* box, const QString& section, const QString& key,
                       const QString& settings_path);
// Writes the box's selection index (-1 for none) in decimal under key.
void StoreIndex(const QComboBox* box, const QString& section, const QString& key,
                const QString& settings_path);
// Fills a list with its items and selects the stored index.
void FillStoredList(QComboBox* box, const QStringList& items, const QString& section, const QString& key,
                    const QString& settings_path);

// A list of a settings dialog and the key its selection index is stored under.
struct StoredList {
    int id;
    const char* key;
};
// Stores the selection index of each list of a dialog.
void StoreIndexes(const QWidget* dialog, std::initializer_list<StoredList> lists, const QString& section,
                  const QString& settings_path);

// Sets each label's or button's text (by control id) to its text of section "JIEMIAN".
void SetControlTexts(QWidget* dialog, const QString& language_path,
                     const std::vector<std::pair<int, const char*>>& texts);
// Enables or disables the controls with the given ids.
void EnableControls(QWidget* dialog, std::initializer_list<int> ids, bool enabled);

// Tests the output folder; when it cannot be used, shows why ("mlbcz" of the language file for a
// missing folder, "strmlbcz" for one that cannot be written) and returns false.
bool ConfirmOutputFolder(QWidget* parent, const QString& folder, const QString& language_path);

}  // namespace common
