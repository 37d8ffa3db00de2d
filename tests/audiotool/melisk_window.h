#pragma once
// Melisk's main window in a scratch program folder with the shipped setting.ini and language files,
// its audio device SDL's disk driver writing into the scratch folder, and clicks on its controls.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>

#include "audiotool/main_template.h"
#include "audiotool/solvane_dlg.h"
#include "controls/control_button.h"
#include "support/fixtures.h"
#include "videotool/window_clicks.h"

class MeliskWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = QString::fromStdString(testsupport::ScratchDir("melisk_window"));
        QDir(folder_).mkpath("languages");
        QDir(folder_).mkpath("out");
        QFile::copy(SHIPPED_SETTING_FILE, Path("setting.ini"));
        for (const char* l : {"english.ini", "chinese.ini"})
            QFile::copy(QString(SHIPPED_LANGUAGE_DIR) + "/" + l, Path("languages/") + l);
        UseDeviceFile("device.raw");
    }
    void TearDown() override { window_.reset(); }

    QString Path(const QString& name) const { return folder_ + "/" + name; }
    // The file the next opening of the audio device writes to.
    void UseDeviceFile(const QString& name) {
        device_file_ = Path(name);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", device_file_.toUtf8().constData(), 1);
        unsetenv("SDL_DISKAUDIODELAY");
    }
    melisk::CSolvaneDlg& Open() {
        window_ = std::make_unique<melisk::CSolvaneDlg>(folder_);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }
    QWidget* Control(int id) const { return window_->control(id); }
    QString Text(int id) const { return window_->labelText(id); }
    void Click(int id) { window_clicks::ClickImageButton(static_cast<CControlButton*>(Control(id)), id); }
    void ClickTab(int index) { window_clicks::ClickTab(window_->tabs(), index); }

    // Runs the event loop until done() holds; false after timeout_ms.
    static bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 30000) {
        QDeadlineTimer deadline(timeout_ms);
        while (!done()) {
            if (deadline.hasExpired()) return false;
            QTest::qWait(5);
        }
        return true;
    }

    QString folder_;
    QString device_file_;
    std::unique_ptr<melisk::CSolvaneDlg> window_;
};
