// Gallery page "taviro_jobs": the progress dialog in the middle of a merge, the cut and merge
// settings dialogs in the direct and the indirect state, and the sponsorship prompt counting down,
// in English and Chinese, each in a temporary program folder with the staged language files.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "common/av_convert_dlg.h"
#include "controls/av_donate_dlg.h"
#include "platform/dialog_template.h"
#include "screenshots/gallery.h"
#include "videotool/file_infomation.h"
#include "videotool/settings_dlg.h"

namespace {

QString StagedLanguages() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../suite/taviro/languages");
}

// A stand-in for a downloaded QR-code picture: a checker of dark squares.
void DrawPicture(const QString& path, QColor ink) {
    QImage image(210, 210, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x)
            if (((x * 7 + y * 13) ^ (x * y)) % 3 == 0) p.fillRect(x * 10, y * 10, 10, 10, ink);
    p.end();
    image.save(path, "JPG");
}

bool RenderLanguage(const QDir& out, const QString& language) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    dir.mkpath("languages");
    dir.mkpath("out");
    for (const QString& name : QDir(StagedLanguages()).entryList({"*.ini"}))
        QFile::copy(StagedLanguages() + "/" + name, dir.filePath("languages/" + name));
    QFile settings(dir.filePath("setting.ini"));
    if (!settings.open(QIODevice::WriteOnly)) return false;
    settings.write(QString("[LANGUAGE]\nfile=%1.ini\n[PATH]\nname=%2\n[TIMES]\ntime=0\n")
                       .arg(language, dir.filePath("out"))
                       .toUtf8());
    settings.close();
    DrawPicture(dir.filePath("weixin.jpg"), QColor(0x1a, 0xad, 0x19));
    DrawPicture(dir.filePath("zfb.jpg"), QColor(0x16, 0x77, 0xff));
    bool ok = true;

    CAVConvertDlg progress(folder.path());
    progress.PrepareToOpen();
    progress.SetCurrentFileLine("/home/user/Videos/holiday_part2.mp4   42% done");
    progress.SetFileCountLine("1 of 3 files finished");
    progress.SetFileBar(42);
    progress.SetFilesBar(33);
    ok = gallery::Save(progress, out, language + "_progress") && ok;

    JobSettings cut_settings;
    CFileInfomation cut(folder.path(), &cut_settings);
    cut.setFileName("holiday");
    ok = gallery::Save(cut, out, language + "_cut_settings_direct") && ok;
    platform::ControlAs<QAbstractButton>(&cut, CFileInfomation::kIndirect)->click();
    ok = gallery::Save(cut, out, language + "_cut_settings_indirect") && ok;

    JobSettings merge_settings;
    CSettings merge(folder.path(), &merge_settings);
    ok = gallery::Save(merge, out, language + "_merge_settings_direct") && ok;
    platform::ControlAs<QAbstractButton>(&merge, CSettings::kIndirect)->click();
    ok = gallery::Save(merge, out, language + "_merge_settings_indirect") && ok;

    CAVDonateDlg donate(folder.path());
    donate.PrepareToOpen();
    for (int i = 0; i < 3; ++i) donate.Tick();
    ok = gallery::Save(donate, out, language + "_sponsorship_counting") && ok;
    return ok;
}

const gallery::Registrar kJobs("taviro_jobs", [](const QDir& out) {
    bool ok = RenderLanguage(out, "english");
    return RenderLanguage(out, "chinese") && ok;
});

}  // namespace
