// The suite as `cmake --install` lays it out in a prefix: the launchers run the installed programs,
// the window keeps its files out of the read-only suite, and the menu entries are valid.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "support/ffprobe.h"
#include "support/fixtures.h"
#include "support/run.h"

namespace {

const QString kPrefix = QStringLiteral(INSTALL_PREFIX);
const QString kSuite = kPrefix + QStringLiteral("/lib/" SUITE_NAME);

QString Q(const std::string& s) { return QString::fromStdString(s); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below folder, relative to it.
QStringList FilesBelow(const QString& folder) {
    QStringList files;
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo(dir.filePath(entry)).isDir()) {
            for (const QString& below : FilesBelow(dir.filePath(entry))) files << entry + "/" + below;
        } else {
            files << entry;
        }
    }
    return files;
}

// The value of key in a desktop entry file.
QString EntryValue(const QString& path, const QString& key) {
    for (const QByteArray& line : ReadAll(path).split('\n'))
        if (line.startsWith(key.toUtf8() + '=')) return QString::fromUtf8(line.mid(key.size() + 1));
    return {};
}

TEST(InstalledSuite, TheCommandLineToolsCutAFixtureThroughTheirLaunchers) {
    struct Tool {
        const char* name;
        const char* fixture;
        const char* stream;  // what the cut keeps
        std::vector<std::string> options;
    };
    const Tool tools[] = {
        {"taviro-cli",
         "video_h264_aac.mp4",
         "video",
         {"--from", "00:00:00.000", "--to", "00:00:01.000", "--direct"}},
        {"melisk-cli", "audio_only.mp3", "audio", {"--from", "00:00:00.000", "--to", "00:00:01.000"}},
    };
    ASSERT_TRUE(QFileInfo::exists(kPrefix + "/bin/taviro-cli"));
    for (const Tool& t : tools) {
        const QString launcher = kPrefix + "/bin/" + t.name;
        if (!QFileInfo::exists(launcher)) continue;  // that tool is not built yet
        SCOPED_TRACE(t.name);
        const std::string out_dir = testsupport::ScratchDir(std::string("installed_") + t.name);
        std::vector<std::string> argv = {launcher.toStdString(), "cut", testsupport::Fixture(t.fixture)};
        argv.insert(argv.end(), t.options.begin(), t.options.end());
        argv.insert(argv.end(), {"--out-dir", out_dir});
        const testsupport::RunResult r = testsupport::RunCommand(argv);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const QStringList lines = Q(r.out).trimmed().split('\n');
        const testsupport::ProbedFile probed = testsupport::FFprobe(lines.last().toStdString());
        ASSERT_TRUE(probed.ok) << r.out;
        EXPECT_EQ(probed.Count(t.stream), 1);
        EXPECT_NEAR(probed.duration_s, 1.0, 0.3);
    }
}

TEST(InstalledSuite, TheWindowsKeepSettingsAndThePreviewOutOfTheReadOnlySuite) {
    struct Window {
        const char* tool;
        const char* fixture;
        qint64 preview_bytes;  // the size of image.bmp in the cache; 0 for a tool without a preview
    };
    const Window windows[] = {{"taviro", "gop2_8s.mp4", 640 * 360 * 3 + 54}, {"melisk", "audio_only.mp3", 0}};
    ASSERT_TRUE(QFileInfo::exists(kPrefix + "/bin/taviro"));
    const QStringList shipped = FilesBelow(kSuite);
    for (const Window& w : windows) {
        const QString tool = QString::fromLatin1(w.tool);
        if (!QFileInfo::exists(kPrefix + "/bin/" + tool)) continue;  // that tool is not built yet
        SCOPED_TRACE(w.tool);
        const QString home = Q(testsupport::ScratchDir(std::string("installed_") + w.tool));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_CACHE_HOME", home + "/cache");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        const QString settings = home + "/config/" SUITE_NAME "/" + tool + "/setting.ini";
        const QString preview = home + "/cache/" SUITE_NAME "/" + tool + "/image.bmp";
        const QString fixture = Q(testsupport::Fixture(w.fixture));
        const QString fixture_folder = QFileInfo(fixture).absolutePath();
        auto added = [&] {
            return platform::ReadProfileString("PATH", "tjml", QString(), settings) == fixture_folder &&
                   QFileInfo(preview).size() >= w.preview_bytes;
        };

        // A file named on the command line ("Open with") is added as the add button would: its
        // folder is remembered in the settings, and Taviro writes its preview frame. The window runs
        // until closed.
        QProcess window;
        window.setProcessEnvironment(env);
        window.setWorkingDirectory(home);
        window.start(kPrefix + "/bin/" + tool, {fixture});
        ASSERT_TRUE(window.waitForStarted());
        while (!added() && window.state() == QProcess::Running) window.waitForFinished(100);
        const bool ran = window.state() == QProcess::Running;
        window.kill();
        window.waitForFinished();
        ASSERT_TRUE(ran) << window.readAllStandardError().toStdString();

        // The shipped settings, copied at the first start, and what the window wrote after them.
        EXPECT_TRUE(ReadAll(settings).startsWith(ReadAll(SHIPPED_SETTING_FILE)));
        if (w.preview_bytes > 0) {
            const testsupport::ProbedFile picture = testsupport::FFprobe(preview.toStdString());
            ASSERT_EQ(picture.streams.size(), 1u);
            EXPECT_EQ(picture.streams[0].width, 640);
            EXPECT_EQ(picture.streams[0].height, 360);
        }
    }
    EXPECT_EQ(FilesBelow(kSuite), shipped);
}

TEST(InstalledSuite, EveryMenuEntryIsValidAndNamesAnInstalledLauncherAndIcon) {
    const QString applications = kPrefix + "/share/applications";
    const QStringList entries = QDir(applications).entryList({"*.desktop"}, QDir::Files);
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_TRUE(entries.contains("taviro.desktop"));
    for (const QString& entry : entries) {
        SCOPED_TRACE(entry.toStdString());
        const QString path = applications + "/" + entry;
        const testsupport::RunResult r =
            testsupport::RunCommand({"desktop-file-validate", path.toStdString()});
        EXPECT_EQ(r.exit_code, 0) << r.out << r.err;

        const QString program = EntryValue(path, "Exec").section(' ', 0, 0);
        EXPECT_TRUE(QFileInfo(kPrefix + "/bin/" + program).isExecutable()) << program.toStdString();
        const QString icon = EntryValue(path, "Icon");
        for (int side : {16, 22, 24, 32, 48, 64, 128, 256})
            EXPECT_TRUE(QFileInfo::exists(
                QString("%1/share/icons/hicolor/%2x%2/apps/%3.png").arg(kPrefix).arg(side).arg(icon)))
                << side;
    }
}

}  // namespace
