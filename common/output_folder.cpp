#include "common/output_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <cerrno>

#include "common/language_files.h"
#include "platform/choosers.h"
#include "platform/dialog_template.h"
#include "platform/message_box.h"
#include "platform/profile.h"

namespace common {

FolderTest TestOutputFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return FolderTest::kMissing;
    const QByteArray probe = QFile::encodeName(folder + "/" + QString::fromLatin1(kFolderProbeFile));
    // O_EXCL: a user's file that happens to carry this name is never truncated or deleted.
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0
                       ? FolderTest::kOk
                       : FolderTest::kNotWritable;
        return FolderTest::kNotWritable;
    }
    ::close(fd);
    ::unlink(probe.constData());
    return FolderTest::kOk;
}

void BrowseOutputFolder(QWidget* parent, QLineEdit* folder_field, const QString& settings_path,
                        const QString& language_path) {
    const QString title = common::ReadLanguageText(language_path, "JIEMIAN", "xzscml");
    for (;;) {
        const QString chosen = platform::ChooseFolder(nullptr, title);
        if (chosen.isEmpty()) return;
        if (!QFileInfo(chosen).isDir()) {
            platform::MessageBoxOk(parent, common::ReadLanguageText(language_path, "TISHI", "mlmwx"));
            continue;
        }
        folder_field->setText(chosen);
        platform::WriteProfileString("PATH", "name", chosen, settings_path);
        return;
    }
}

QString AddFolder(const QString& settings_path, const QString& fallback) {
    const QString stored = platform::ReadProfileString("PATH", "tjml", QString(), settings_path);
    if (!stored.isEmpty() && QFileInfo(stored).isDir()) return stored;
    return !fallback.isEmpty() && QFileInfo(fallback).isDir() ? fallback : QDir::homePath();
}

void RememberAddFolder(const QString& settings_path, const QString& added_path) {
    const QString folder = QFileInfo(added_path).absolutePath();
    const QString stored = platform::ReadProfileString("PATH", "tjml", QString(), settings_path);
    if (!QFileInfo(folder).isDir() || folder == stored) return;
    platform::WriteProfileString("PATH", "tjml", folder, settings_path);
}

void SelectStoredIndex(QComboBox* box, const QString& section, const QString& key,
                       const QString& settings_path) {
    const int index = platform::ReadProfileInt(section, key, 0, settings_path);
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

void StoreIndex(const QComboBox* box, const QString& section, const QString& key,
                const QString& settings_path) {
    platform::WriteProfileInt(section, key, box->currentIndex(), settings_path);
}

void FillStoredList(QComboBox* box, const QStringList& items, const QString& section, const QString& key,
                    const QString& settings_path) {
    box->addItems(items);
    SelectStoredIndex(box, section, key, settings_path);
}

void StoreIndexes(const QWidget* dialog, std::initializer_list<StoredList> lists, const QString& section,
                  const QString& settings_path) {
    for (const StoredList& list : lists)
        StoreIndex(platform::ControlAs<QComboBox>(dialog, list.id), section, list.key, settings_path);
}

void SetControlTexts(QWidget* dialog, const QString& language_path,
                     const std::vector<std::pair<int, const char*>>& texts) {
    for (const auto& [id, key] : texts) {
        const QString text = common::ReadLanguageText(language_path, "JIEMIAN", key);
        QWidget* w = platform::ControlById(dialog, id);
        if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
        if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
    }
}

void EnableControls(QWidget* dialog, std::initializer_list<int> ids, bool enabled) {
    for (int id : ids) platform::ControlById(dialog, id)->setEnabled(enabled);
}

bool ConfirmOutputFolder(QWidget* parent, const QString& folder, const QString& language_path) {
    switch (TestOutputFolder(folder)) {
        case FolderTest::kMissing:
            platform::MessageBoxOk(parent, common::ReadLanguageText(language_path, "TISHI", "mlbcz"));
            return false;
        case FolderTest::kNotWritable:
            platform::MessageBoxOk(parent, common::ReadLanguageText(language_path, "TISHI", "strmlbcz"));
            return false;
        case FolderTest::kOk:
            break;
    }
    return true;
}

}  // namespace common
