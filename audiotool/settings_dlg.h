#pragma once
// CSettings: Melisk's output settings dialog (template 167), the audio-only variant of the video
// tool's merge settings dialog. It always opens showing the default list entries; OK writes the
// chosen numbers into the run's output settings, Cancel keeps them. UI thread only.

#include <QDialog>

#include "audiotool/output_settings.h"
#include "common/settings_template_ids.h"
#include "common/window_drag.h"

class QComboBox;

namespace melisk {

class CSettings : public common::MovableDialog<QDialog> {
    Q_OBJECT

  public:
    using enum common::SettingsControlId;
    static constexpr const char* kFormatPreviewText = "MP3 - MPEG Layer-3 Audio(*.MP3)";
    // The encoder list's entries: re-encoding to MP3, and joining MP3 frames without re-encoding.
    enum EncoderItem { kEncodeMp3 = 0, kCopyMp3 = 1 };

    // program_folder holds setting.ini and languages/; settings are the run's output settings.
    CSettings(const QString& program_folder, OutputSettings* settings, QWidget* parent = nullptr);

    QComboBox* combo(int id) const;
    void OnOk();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FillLists();
    // Offers the bit rates the chosen sample rate allows, keeping the chosen one where it can.
    void FillBitRates();

    OutputSettings* m_settings;
    QStringList m_channel_texts;  // in the chosen language
    QComboBox* m_encoder = nullptr;
    QComboBox* m_bit_rate = nullptr;
    QComboBox* m_sample_rate = nullptr;
    QComboBox* m_channels = nullptr;
};

}  // namespace melisk
