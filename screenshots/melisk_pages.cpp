// Gallery pages of Melisk, the audio tool: "melisk_main" (both tabs, empty and loaded, the waveform
// with a range and zoomed in, in English and Chinese) and "melisk_jobs" (the output settings dialog, the
// progress dialog in the middle of a merge, the sponsorship prompt counting down). Each runs in a temporary
// program folder with the staged language files; playback goes to SDL's dummy audio device.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <cstdlib>

#include "audiotool/settings_dlg.h"
#include "audiotool/solvane_dlg.h"
#include "audiotool/waveform_source.h"
#include "common/av_convert_dlg.h"
#include "controls/av_donate_dlg.h"
#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/waveform_view.h"
#include "screenshots/gallery.h"

namespace {

QString StagedLanguages() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../suite/melisk/languages");
}

bool MakeAudio(const QString& path, int frequency, double seconds) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                  QString("sine=frequency=%1:sample_rate=44100:duration=%2").arg(frequency).arg(seconds),
                  "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 && QFile::exists(path);
}

// Something like speech: a voice-like tone in words of varying loudness with pauses between them.
bool MakeSpeechLike(const QString& path, double seconds) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                  QString("aevalsrc=exprs=(0.5*sin(2*PI*180*t)+0.3*sin(2*PI*410*t))*abs(sin(2*PI*0.9*t))"
                          "*lt(mod(t\\,1.4)\\,1.0)*(0.4+0.6*abs(sin(0.7*t))):s=44100:d=%1")
                      .arg(seconds),
                  "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 && QFile::exists(path);
}

// Lets the waveform's workers finish and the view take the whole picture.
void WaitForWaveform(melisk::CSolvaneDlg& window) {
    for (int i = 0; i < 1000 && window.waveformData() && !window.waveformData()->complete(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    window.waveform()->ShowAll();
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

// A program folder with the staged languages, the given language and output folder chosen.
bool MakeProgramFolder(const QTemporaryDir& folder, const QString& language) {
    const QDir dir(folder.path());
    dir.mkpath("languages");
    dir.mkpath("out");
    for (const QString& name : QDir(StagedLanguages()).entryList({"*.ini"}))
        QFile::copy(StagedLanguages() + "/" + name, dir.filePath("languages/" + name));
    DrawPicture(dir.filePath("weixin.jpg"), QColor(0x1a, 0xad, 0x19));
    DrawPicture(dir.filePath("weixin1.jpg"), QColor(0x1a, 0xad, 0x19));
    DrawPicture(dir.filePath("zfb.jpg"), QColor(0x16, 0x77, 0xff));
    QFile settings(dir.filePath("setting.ini"));
    if (!settings.open(QIODevice::WriteOnly)) return false;
    settings.write(QString("[LANGUAGE]\nfile=%1.ini\n[PATH]\nname=%2\n[TIMES]\ntime=1\n")
                       .arg(language, dir.filePath("out"))
                       .toUtf8());
    return true;
}

bool RenderMain(const QDir& out, const QString& language, const QStringList& songs) {
    QTemporaryDir folder;
    if (!MakeProgramFolder(folder, language)) return false;
    melisk::CSolvaneDlg window(folder.path());
    bool ok = gallery::Save(window, out, language + "_cut_empty");
    window.tabs()->setCurrentIndex(1);
    ok = gallery::Save(window, out, language + "_merge_empty") && ok;
    window.AddFilePaths(songs);
    window.fileList()->SetCheck(2, false);
    window.fileList()->selectRow(1);
    ok = gallery::Save(window, out, language + "_merge_files") && ok;
    window.tabs()->setCurrentIndex(0);
    window.AddFilePaths({songs.first()});
    // Marks the points at the given slider positions in turn, then leaves the thumb at `at`.
    using Point = void (melisk::CSolvaneDlg::*)();
    auto mark = [&window](std::initializer_list<std::pair<int, Point>> points, int at) {
        for (auto [position, set_point] : points) {
            window.slider()->SetPosition(position);
            window.SeekToSlider(position);
            (window.*set_point)();
        }
        window.slider()->SetPosition(at);
        window.SeekToSlider(at);
        window.OnPositionTimer();
    };
    // Paused at a third of the song with a range from a quarter to three quarters (the start point
    // moves the end to the end of the file).
    window.PlayPause();
    mark({{750, &melisk::CSolvaneDlg::SetEndPoint}, {250, &melisk::CSolvaneDlg::SetStartPoint}}, 333);
    ok = gallery::Save(window, out, language + "_cut_loaded") && ok;
    // The waveform with a range from a quarter to three quarters, the play position inside a word.
    mark({{250, &melisk::CSolvaneDlg::SetStartPoint}, {750, &melisk::CSolvaneDlg::SetEndPoint}}, 387);
    WaitForWaveform(window);
    ok = gallery::Save(window, out, language + "_cut_wave_range") && ok;
    // Close in around the play position: single cycles of the sound, samples a pixel or two apart.
    window.waveform()->Zoom(256);
    ok = gallery::Save(window, out, language + "_cut_wave_zoomed") && ok;
    window.Stop();
    return ok;
}

bool RenderJobs(const QDir& out, const QString& language) {
    QTemporaryDir folder;
    if (!MakeProgramFolder(folder, language)) return false;
    bool ok = true;

    melisk::OutputSettings settings;
    melisk::CSettings dialog(folder.path(), &settings);
    ok = gallery::Save(dialog, out, language + "_settings") && ok;

    CAVConvertDlg progress(folder.path());
    progress.PrepareToOpen();
    progress.SetCurrentFileLine("/home/user/Music/morning_walk.mp3   42% done");
    progress.SetFileCountLine("1 of 3 files finished");
    progress.SetFileBar(42);
    progress.SetFilesBar(33);
    ok = gallery::Save(progress, out, language + "_progress_merge") && ok;

    CAVDonateDlg donate(folder.path(), CAVDonateDlg::Variant::kAudioTool);
    donate.PrepareToOpen();
    for (int i = 0; i < 3; ++i) donate.Tick();
    ok = gallery::Save(donate, out, language + "_sponsorship_counting") && ok;
    return ok;
}

const gallery::Registrar kMeliskMain("melisk_main", [](const QDir& out) {
    qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir media;
    const QStringList songs = {media.filePath("morning_walk.mp3"), media.filePath("city_rain.mp3"),
                               media.filePath("evening_theme_with_a_rather_long_name.mp3")};
    if (!MakeSpeechLike(songs[0], 8) || !MakeAudio(songs[1], 330, 3) || !MakeAudio(songs[2], 550, 4))
        return false;
    bool ok = RenderMain(out, "english", songs);
    return RenderMain(out, "chinese", songs) && ok;
});

const gallery::Registrar kMeliskJobs("melisk_jobs", [](const QDir& out) {
    bool ok = RenderJobs(out, "english");
    return RenderJobs(out, "chinese") && ok;
});

}  // namespace
