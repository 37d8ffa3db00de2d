// Gallery page "taviro_main": Taviro's main window on both tabs, empty and with videos, and with a
// time field whose text is no time, in English and in Chinese. The window runs in a temporary
// program folder with the staged language files.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>

#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "platform/choosers.h"
#include "screenshots/gallery.h"
#include "videotool/solvane_dlg.h"

namespace {

// The languages folder of the staged suite beside this program's build folder.
QString StagedLanguages() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../suite/taviro/languages");
}

bool MakeVideo(const QString& path, const QString& pattern, double seconds) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                            QString("%1=size=640x360:rate=25:duration=%2").arg(pattern).arg(seconds), "-c:v",
                            "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "25", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 && QFile::exists(path);
}

bool RenderLanguage(const QDir& out, const QString& language, const QStringList& videos) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    dir.mkpath("languages");
    for (const QString& name : QDir(StagedLanguages()).entryList({"*.ini"}))
        QFile::copy(StagedLanguages() + "/" + name, dir.filePath("languages/" + name));
    QFile settings(dir.filePath("setting.ini"));
    if (!settings.open(QIODevice::WriteOnly)) return false;
    settings.write(QString("[LANGUAGE]\nfile=%1.ini\n[TIMES]\ntime=1\n").arg(language).toUtf8());
    settings.close();

    CSolvaneDlg window(folder.path());
    bool ok = gallery::Save(window, out, language + "_cut_empty");
    window.tabs()->setCurrentIndex(1);
    ok = gallery::Save(window, out, language + "_merge_empty") && ok;
    {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer(videos);
        window.AddVideos();
        window.fileList()->selectRow(1);
    }
    ok = gallery::Save(window, out, language + "_merge_files") && ok;
    window.tabs()->setCurrentIndex(0);
    {
        platform::ScopedChooserAnswers answers;
        answers.addOpenFilesAnswer({videos.first()});
        window.AddVideos();
    }
    // A range from about 1 s to 3 s, chosen as a user would with the slider and the point buttons.
    for (auto [position, set_point] :
         {std::pair{750, &CSolvaneDlg::SetEndPoint}, {250, &CSolvaneDlg::SetStartPoint}}) {
        window.slider()->SetPosition(position);
        window.ShowFrameAtSliderPosition(position);
        (window.*set_point)();
    }
    window.slider()->SetPosition(500);
    window.ShowFrameAtSliderPosition(500);
    ok = gallery::Save(window, out, language + "_cut_loaded") && ok;
    // A start time that is no time shows red as it is typed.
    window.startField()->setText("00:00:1x");
    return gallery::Save(window, out, language + "_cut_time_not_a_time") && ok;
}

const gallery::Registrar kTaviroMain("taviro_main", [](const QDir& out) {
    QTemporaryDir media;
    const QStringList videos = {media.filePath("holiday_beach.mp4"), media.filePath("colour_bars.mp4"),
                                media.filePath("interview_part2.mp4")};
    if (!MakeVideo(videos[0], "testsrc2", 4) || !MakeVideo(videos[1], "smptehdbars", 2.5) ||
        !MakeVideo(videos[2], "rgbtestsrc", 3))
        return false;
    bool ok = RenderLanguage(out, "english", videos);
    return RenderLanguage(out, "chinese", videos) && ok;
});

}  // namespace
