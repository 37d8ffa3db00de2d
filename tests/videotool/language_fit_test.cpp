// Every shipped language's texts fit the controls that show them, measured in the dialog font the
// windows are built with: a text wider than its control would be cut off on screen. Both media tools'
// language files are measured, each against its own windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>
#include <span>

#include "common/language_files.h"
#include "platform/dialog_template.h"

namespace {

enum class Shown { Label, Button, Radio, Check };

struct Place {
    const char* section;
    const char* key;
    int width_du;     // the control's width in dialog units
    int font_points;  // of the dialog that shows it
    Shown shown;
};

// Main window (9 points), cut and merge settings dialogs and progress dialog (8 points). Where one
// key feeds several controls, the narrowest is listed. The language box's label ("yy") is never shown.
const Place kPlaces[] = {
    {"JIEMIAN", "ksjq", 39, 9, Shown::Label},
    {"JIEMIAN", "jsjq", 37, 9, Shown::Label},
    {"JIEMIAN", "jqsj", 41, 9, Shown::Label},
    {"JIEMIAN", "yzfa", 54, 8, Shown::Label},
    {"JIEMIAN", "zjjq", 328, 8, Shown::Radio},
    {"JIEMIAN", "jjjq", 327, 8, Shown::Radio},
    {"JIEMIAN", "jqjq", 318, 8, Shown::Check},
    {"JIEMIAN", "zjhb", 335, 8, Shown::Radio},
    {"JIEMIAN", "jjhb", 334, 8, Shown::Radio},
    {"JIEMIAN", "spgs", 51, 8, Shown::Label},
    {"JIEMIAN", "spzl", 49, 8, Shown::Label},
    {"JIEMIAN", "spdx", 48, 8, Shown::Label},
    {"JIEMIAN", "zl", 47, 8, Shown::Label},
    {"JIEMIAN", "ypzl", 47, 8, Shown::Label},
    {"JIEMIAN", "ypcyl", 46, 8, Shown::Label},
    {"JIEMIAN", "zyzjjq", 300, 8, Shown::Label},
    {"JIEMIAN", "zyzjhb", 313, 8, Shown::Label},
    {"JIEMIAN", "scml", 43, 8, Shown::Label},
    {"JIEMIAN", "ll", 50, 8, Shown::Button},
    {"JIEMIAN", "wjm", 41, 8, Shown::Label},
    {"JIEMIAN", "ksjq1", 55, 8, Shown::Button},
    {"JIEMIAN", "kshb", 56, 8, Shown::Button},
    {"JIEMIAN", "dqwj", 44, 8, Shown::Label},
    {"JIEMIAN", "zgwj", 47, 8, Shown::Label},
    {"JIEMIAN", "tz", 50, 8, Shown::Button},
    // The sponsor link, in its 10-point font, between its place and the window's right edge.
    {"JIEMIAN", "zzwm", 56, 10, Shown::Label},
};

// Melisk: main window and output settings dialog (8 points), progress dialog as above. The output
// folder's label is measured to where the folder box begins (x 26), the time hint on one line.
const Place kMeliskPlaces[] = {
    {"JIEMIAN", "ksjq", 41, 8, Shown::Label},      {"JIEMIAN", "jsjq", 33, 8, Shown::Label},
    {"JIEMIAN", "jqsj", 38, 8, Shown::Label},      {"JIEMIAN", "output", 19, 8, Shown::Label},
    {"JIEMIAN", "nykyzjsr", 292, 8, Shown::Label}, {"JIEMIAN", "wxsm", 65, 8, Shown::Label},
    {"JIEMIAN", "yzfa", 56, 8, Shown::Label},      {"JIEMIAN", "bmq", 45, 8, Shown::Label},
    {"JIEMIAN", "ypzl", 50, 8, Shown::Label},      {"JIEMIAN", "cyl", 41, 8, Shown::Label},
    {"JIEMIAN", "td", 36, 8, Shown::Label},        {"JIEMIAN", "qd", 45, 8, Shown::Button},
    {"JIEMIAN", "qx", 46, 8, Shown::Button},       {"JIEMIAN", "dqwj", 44, 8, Shown::Label},
    {"JIEMIAN", "zgwj", 47, 8, Shown::Label},      {"JIEMIAN", "tz", 50, 8, Shown::Button},
};

const char* const kLanguages[] = {"english", "spanish", "german", "french", "italian", "japanese", "chinese"};

int ExtraWidth(Shown shown) {
    const QStyle* style = QApplication::style();
    switch (shown) {
        case Shown::Label:
            return 0;
        case Shown::Button:
            return 2 * style->pixelMetric(QStyle::PM_ButtonMargin) + 4;
        case Shown::Radio:
            return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                   style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
        case Shown::Check:
            return style->pixelMetric(QStyle::PM_IndicatorWidth) +
                   style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    }
    return 0;
}

class LanguageFitTest : public ::testing::TestWithParam<const char*> {};

void ExpectTextsFit(const QString& file, std::span<const Place> places, const char* language) {
    for (const Place& p : places) {
        const QFont font = platform::DialogFont("MS Shell Dlg", p.font_points);
        const int width_px =
            platform::DialogRectToPixels(QRect(0, 0, p.width_du, 8), platform::BaseUnitsForFont(font))
                .width();
        const QString text = common::ReadLanguageText(file, p.section, p.key);
        const int needed = QFontMetrics(font).horizontalAdvance(text) + ExtraWidth(p.shown);
        EXPECT_LE(needed, width_px) << language << " " << p.key << " needs " << needed << " \""
                                    << text.toStdString() << "\"";
    }
}

TEST_P(LanguageFitTest, TextsFitTheirControls) {
    ExpectTextsFit(QString(SHIPPED_LANGUAGE_DIR) + "/" + GetParam() + ".ini", kPlaces, GetParam());
}

TEST_P(LanguageFitTest, MeliskTextsFitTheirControls) {
    ExpectTextsFit(QString(MELISK_LANGUAGE_DIR) + "/" + GetParam() + ".ini", kMeliskPlaces, GetParam());
}

// The merge list's column headers and status texts (widths in pixels, the main window's 9-point
// font); the status column widens to its texts, so only its header's minimum is listed.
struct Column {
    const char* section;
    const char* key;
    int width_px;
};
const Column kMeliskColumns[] = {{"JIEMIAN", "ywj", 250}, {"JIEMIAN", "kssj", 100}, {"JIEMIAN", "jssj", 100}};
const Column kColumns[] = {{"JIEMIAN", "ywj", 175},
                           {"JIEMIAN", "spgs", 60},
                           {"JIEMIAN", "spcd", 90},
                           {"JIEMIAN", "spdx", 70},
                           {"JIEMIAN", "zl", 70}};

TEST_P(LanguageFitTest, ColumnHeadersFitTheirColumns) {
    const QString file = QString(SHIPPED_LANGUAGE_DIR) + "/" + GetParam() + ".ini";
    const QFontMetrics metrics(platform::DialogFont("MS Shell Dlg", 9));
    constexpr int kHeaderPadding = 8;  // the header's own margins around a section's text
    for (const Column& c : kColumns) {
        const QString text = common::ReadLanguageText(file, c.section, c.key);
        EXPECT_LE(metrics.horizontalAdvance(text) + kHeaderPadding, c.width_px)
            << GetParam() << " " << c.key << " \"" << text.toStdString() << "\"";
    }
}

TEST_P(LanguageFitTest, MeliskColumnHeadersFitTheirColumns) {
    const QString file = QString(MELISK_LANGUAGE_DIR) + "/" + GetParam() + ".ini";
    const QFontMetrics metrics(platform::DialogFont("MS Shell Dlg", 8));
    constexpr int kHeaderPadding = 8;
    for (const Column& c : kMeliskColumns) {
        const QString text = common::ReadLanguageText(file, c.section, c.key);
        EXPECT_LE(metrics.horizontalAdvance(text) + kHeaderPadding, c.width_px)
            << GetParam() << " " << c.key << " \"" << text.toStdString() << "\"";
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFitTest, ::testing::ValuesIn(kLanguages));

}  // namespace
