// The main window's playback: the play, stop, point and selection buttons, the slider seek, the
// 100 ms position timer and the end of playback, over the player library.
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "audiotool/file_rows.h"
#include "audiotool/main_template.h"
#include "audiotool/player_binding.h"
#include "audiotool/solvane_dlg.h"
#include "auvella/auvella.h"
#include "common/time_range.h"
#include "common/time_text.h"
#include "controls/bitmap_slider.h"
#include "controls/waveform_view.h"
#include "platform/dialog_template.h"

namespace melisk {

namespace {

constexpr int kPositionTimerMs = 100;
constexpr int kRefreshTimerMs = 67;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void CSolvaneDlg::SetUpPlayer() {
    BindPlayer([this] { OnPlaybackFinished(); });
    m_timer100 = new QTimer(this);
    m_timer100->setObjectName(QStringLiteral("timer100"));
    m_timer100->setInterval(kPositionTimerMs);
    connect(m_timer100, &QTimer::timeout, this, &CSolvaneDlg::OnPositionTimer);
    // Timer 200 has no handler: it only keeps the original's pair of timers.
    m_timer200 = new QTimer(this);
    m_timer200->setObjectName(QStringLiteral("timer200"));
    m_timer200->setInterval(kRefreshTimerMs);
    // The end of a selection falls between two ticks of timer 100: one more look just then keeps
    // the selection from playing up to a tick too long.
    m_selection_end_timer = new QTimer(this);
    m_selection_end_timer->setSingleShot(true);
    connect(m_selection_end_timer, &QTimer::timeout, this, &CSolvaneDlg::OnPositionTimer);
    m_media_type[0] = m_media_type[1] = 0;
    m_slider->SetRange(0, kPreviewSliderMax);
    m_slider->SetPosition(0);
    m_stopped = true;
    m_playing = false;
}

void CSolvaneDlg::StartTimers() {
    m_timer100->start();
    m_timer200->start();
}

void CSolvaneDlg::StopTimers() {
    if (m_timer100) m_timer100->stop();
    if (m_timer200) m_timer200->stop();
    if (m_selection_end_timer) m_selection_end_timer->stop();
}

bool CSolvaneDlg::OpenPlayer() {
    Stop();
    Auvella_SetFileName(m_current_file.toUtf8().constData());
    StartTimers();
    if (Auvella_Open() == -1) return false;
    Auvella_GetMideaType(&m_media_type[0], &m_media_type[1]);
    m_file_open = true;
    return true;
}

void CSolvaneDlg::PlayPause() {
    m_play_selection = false;
    if (m_playing) {
        m_stopped = false;
        if (!m_file_open) return;
        StartTimers();
        Auvella_Pause();
        m_playing = false;
    } else {
        if (m_stopped) {
            // A file that cannot be opened leaves the player closed; nothing pretends to play. One
            // deleted since it was added is named as such.
            if (m_current_file.isEmpty()) return;
            if (!OpenPlayer()) {
                if (!QFileInfo::exists(m_current_file)) ReportUnreadableFile(m_current_file);
                return;
            }
            const LoadedVideoView whole = ViewOfLoadedVideo(
                m_current_probe.duration_us, m_current_probe.range_start_us, m_current_probe.range_end_us);
            m_slider->SetSelectionStart(whole.selection_start);
            m_slider->SetSelectionEnd(whole.selection_end);
            m_slider->update();
            SetFields(whole.fields.start, whole.fields.end, whole.fields.length);
        }
        if (!m_file_open) return;
        StartTimers();
        Auvella_Start();
        m_slider->setEnabled(true);
        m_playing = true;
    }
    ShowPlayState();
}

void CSolvaneDlg::Stop() {
    m_stopped = true;
    m_play_selection = false;
    if (!m_file_open) return;
    StopTimers();
    Auvella_Stop();
    Auvella_Close();
    m_slider->setEnabled(false);
    m_playing = false;
    ShowPlayState();
    m_slider->SetPosition(0);
    m_slider->update();
    m_position_ms = 0;
    m_waveform->SetPosition(0);
    m_position_text->setText(QStringLiteral("00:00:00.000 / "));
    m_duration_text->setText(QStringLiteral("00:00:00.000"));
}

void CSolvaneDlg::OnPositionTimer() {
    float fraction = 0;
    Auvella_GetPos(&fraction);
    const int value = static_cast<int>(fraction * kPreviewSliderMax);
    double position_s = 0, duration_s = 0;
    Auvella_GetCurrentPosition(&position_s);
    Auvella_GetDuration(&duration_s);
    m_position_ms = static_cast<int32_t>(position_s * 1000);
    const int32_t duration_ms = static_cast<int32_t>(duration_s * 1000);
    m_position_text->setText(Q(TimeToText(m_position_ms)));
    m_duration_text->setText("/ " + Q(TimeToText(duration_ms)));
    m_waveform->SetPosition(m_position_ms);
    // The thumb under the user's pointer is not moved away from it.
    if (value != m_slider->GetPosition() && !m_slider->IsDragging()) {
        m_slider->SetPosition(value);
        m_slider->update();
    }
    if (!m_play_selection) return;
    const int32_t end_ms = TextToTime(m_end_field->text().toStdString());
    if (end_ms <= m_position_ms)
        Stop();
    else if (end_ms - m_position_ms < kPositionTimerMs)
        m_selection_end_timer->start(end_ms - m_position_ms);
}

void CSolvaneDlg::SeekToSlider(int position) {
    m_play_selection = false;
    if (!m_file_open) return;
    const float fraction = static_cast<float>(position) / kPreviewSliderMax;
    Auvella_Pause();
    Auvella_SetPos(fraction);
    double duration_s = 0;
    Auvella_GetDuration(&duration_s);
    m_position_ms = static_cast<int32_t>(fraction * duration_s * 1000);
    m_position_text->setText(Q(TimeToText(m_position_ms)));
    m_waveform->SetPosition(m_position_ms);
    // A paused file stays paused at the new place.
    if (m_playing) Auvella_Start();
}

void CSolvaneDlg::SeekToMs(int64_t ms) {
    m_play_selection = false;
    // As the slider, which is off while nothing is open.
    if (!m_file_open || !m_slider->isEnabled()) return;
    Auvella_Pause();
    Auvella_SetCurrentPosition(ms / 1000.0);
    m_position_ms = static_cast<int32_t>(ms);
    m_position_text->setText(Q(TimeToText(m_position_ms)));
    m_slider->SetPosition(SliderValueOfMs(ms));
    m_slider->update();
    m_waveform->SetPosition(m_position_ms);
    if (m_playing) Auvella_Start();
}

void CSolvaneDlg::PlaySelection() {
    if (m_current_file.isEmpty()) return;
    const int32_t start_ms = TextToTime(m_start_field->text().toStdString());
    if (m_stopped && !OpenPlayer()) return;
    if (!m_file_open) return;
    Auvella_Pause();
    Auvella_SetCurrentPosition(start_ms / 1000.0);
    Auvella_Start();
    m_play_selection = true;
    m_slider->setEnabled(true);
}

void CSolvaneDlg::OnPlaybackFinished() { Stop(); }

}  // namespace melisk
