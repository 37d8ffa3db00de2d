#include "platform/dialog_template.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

using namespace platform;

namespace {

TEST(DialogUnits, MulDivRoundsLikeWindows) {
    const struct {
        int a, b, c, expected;
    } cases[] = {
        {306, 6, 4, 459}, {227, 13, 8, 369}, {1, 6, 4, 2}, {1, 5, 4, 1},   {3, 5, 8, 2},    {-3, 5, 8, -2},
        {3, -5, 8, -2},   {-1, 5, 4, -1},    {0, 7, 4, 0}, {10, 10, 0, 0}, {5, 7, -2, -18}, {1, 1, 2, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
    }
}

TEST(DialogUnits, RectsScaleEachFieldOnItsOwn) {
    const DialogBaseUnits base{6, 13};  // "MS Shell Dlg" 8pt at 96 dpi
    EXPECT_EQ(DialogRectToPixels(QRect(306, 227, 52, 24), base), QRect(459, 369, 78, 39));
    EXPECT_EQ(DialogRectToPixels(QRect(6, 183, 322, 12), base), QRect(9, 297, 483, 20));
    EXPECT_EQ(DialogRectToPixels(QRect(0, 0, 363, 252), base), QRect(0, 0, 545, 410));
    EXPECT_EQ(DialogRectToPixels(QRect(1, 1, 1, 1), DialogBaseUnits{7, 15}), QRect(2, 2, 2, 2));
}

TEST(DialogUnits, BaseUnitsComeFromTheAlphabetWidthAndFontHeight) {
    for (int points : {8, 9, 12}) {
        const QFont font = DialogFont("MS Shell Dlg", points);
        EXPECT_EQ(font.pointSize(), points);
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const DialogBaseUnits base = BaseUnitsForFont(font);
        EXPECT_EQ(base.x, static_cast<int>(width / 52.0 + 0.5)) << points;
        EXPECT_EQ(base.y, metrics.height()) << points;
        EXPECT_GT(base.x, 0);
    }
}

class CustomSlider : public QWidget {
  public:
    using QWidget::QWidget;
};

DialogSpec SampleSpec() {
    DialogSpec ctl;
    ctl.id = 165;
    ctl.title = QStringLiteral("剪切设置");
    ctl.w = 356;
    ctl.h = 206;
    ctl.font_points = 8;
    ctl.minimize_box = true;
    ctl.controls = {
        {1004, ControlKind::PushButton, "&Convert", 10, 10, 52, 24, 0},
        {1172, ControlKind::GroupBox, "Frame", 5, 5, 100, 40, 0},
        {1189, ControlKind::RadioButton, "direct", 20, 50, 100, 10, 0},
        {1007, ControlKind::RadioButton, "indirect", 20, 62, 100, 10, 0},
        {1300, ControlKind::RadioButton, "other group A", 20, 74, 100, 10, kStyleGroup},
        {1301, ControlKind::RadioButton, "other group B", 20, 86, 100, 10, 0},
        {1018, ControlKind::Label, "<b>start</b>", 6, 100, 39, 8, 0},
        {1025, ControlKind::Label, "00:00:00.000", 50, 100, 53, 10, kStyleSunken | kStyleNotify},
        {1023, ControlKind::Edit, "", 46, 112, 55, 14, kStyleAutoHScroll},
        {1024, ControlKind::Edit, "", 145, 112, 54, 14, kStyleNumber},
        {1105, ControlKind::ComboBox, "", 120, 10, 100, 100, kStyleVScroll},
        {1077, ControlKind::ComboBox, "", 120, 30, 100, 100, kStyleEditable | kStyleSorted},
        {1114, ControlKind::ListView, "", 6, 130, 150, 60, kStyleHidden},
        {1160, ControlKind::TabControl, "", 230, 0, 91, 16, 0},
        {1001, ControlKind::ProgressBar, "", 230, 20, 100, 8, 0},
        {1140, ControlKind::Slider, "", 230, 30, 100, 12, kStyleDisabled},
        {1139, ControlKind::Frame, "", 230, 50, 100, 50, kStyleBlackFrame},
        {1220, ControlKind::CheckBox, "check", 230, 110, 60, 10, 0},
        {1, ControlKind::DefPushButton, "OK", 290, 180, 50, 16, 0},
        {1200, ControlKind::Custom, "", 230, 130, 60, 20, 0},
    };
    return ctl;
}

TEST(BuildDialog, PlacesEveryControlByTheDialogUnitRule) {
    QDialog dialog;
    const DialogSpec ctl = SampleSpec();
    const DialogBaseUnits base = BuildDialog(&dialog, ctl);
    EXPECT_EQ(dialog.font().pointSize(), 8);
    const DialogBaseUnits expected_base = BaseUnitsForFont(DialogFont(ctl.font_name, 8));
    EXPECT_EQ(base.x, expected_base.x);
    EXPECT_EQ(base.y, expected_base.y);
    EXPECT_EQ(dialog.size(), QSize(MulDiv(356, base.x, 4), MulDiv(206, base.y, 8)));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("剪切设置"));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

    for (const ControlSpec& control : ctl.controls) {
        QWidget* widget = ControlById(&dialog, control.id);
        ASSERT_NE(widget, nullptr) << control.id;
        EXPECT_EQ(widget->objectName(), QStringLiteral("control_%1").arg(control.id));
        EXPECT_EQ(widget->property("controlId").toInt(), control.id);
        EXPECT_EQ(ControlIdOf(widget), control.id);
        EXPECT_EQ(widget->parentWidget(), &dialog);
        const QRect expected = DialogRectToPixels(QRect(control.x, control.y, control.w, control.h), base);
        if (control.kind == ControlKind::ComboBox) {
            EXPECT_EQ(widget->pos(), expected.topLeft()) << control.id;
            EXPECT_EQ(widget->width(), expected.width()) << control.id;
            EXPECT_LT(widget->height(), expected.height()) << "closed combo box, not the dropped list";
        } else {
            EXPECT_EQ(widget->geometry(), expected) << control.id;
        }
    }
    EXPECT_EQ(ControlById(&dialog, 4242), nullptr);
    EXPECT_EQ(ControlById(nullptr, 1004), nullptr);
    EXPECT_EQ(ControlIdOf(&dialog), 0);
}

TEST(BuildDialog, KindsBecomeTheMatchingWidgets) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    EXPECT_NE(ControlAs<QPushButton>(&dialog, 1004), nullptr);
    EXPECT_EQ(ControlAs<QPushButton>(&dialog, 1004)->text(), "&Convert");
    EXPECT_FALSE(ControlAs<QPushButton>(&dialog, 1004)->isDefault());
    EXPECT_TRUE(ControlAs<QPushButton>(&dialog, 1)->isDefault());
    EXPECT_NE(ControlAs<QGroupBox>(&dialog, 1172), nullptr);
    EXPECT_NE(ControlAs<QRadioButton>(&dialog, 1189), nullptr);
    EXPECT_EQ(ControlAs<QLabel>(&dialog, 1018)->text(), "<b>start</b>");
    EXPECT_EQ(ControlAs<QLabel>(&dialog, 1018)->textFormat(), Qt::PlainText);
    EXPECT_EQ(ControlAs<QLabel>(&dialog, 1025)->frameShadow(), QFrame::Sunken);
    EXPECT_NE(ControlAs<QLineEdit>(&dialog, 1023), nullptr);
    EXPECT_FALSE(ControlAs<QComboBox>(&dialog, 1105)->isEditable());
    EXPECT_TRUE(ControlAs<QComboBox>(&dialog, 1077)->isEditable());
    EXPECT_NE(ControlAs<QTreeWidget>(&dialog, 1114), nullptr);
    EXPECT_NE(ControlAs<QTabBar>(&dialog, 1160), nullptr);
    EXPECT_EQ(ControlAs<QProgressBar>(&dialog, 1001)->maximum(), 100);
    EXPECT_EQ(ControlAs<QSlider>(&dialog, 1140)->orientation(), Qt::Horizontal);
    EXPECT_EQ(ControlAs<QFrame>(&dialog, 1139)->frameShape(), QFrame::Box);
    EXPECT_NE(ControlAs<QCheckBox>(&dialog, 1220), nullptr);
    EXPECT_EQ(ControlAs<QPushButton>(&dialog, 1200), nullptr);
    EXPECT_NE(ControlById(&dialog, 1200), nullptr);
}

TEST(BuildDialog, StylesSetVisibilityAndEnabledState) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(ControlById(&dialog, 1114)->isVisible());
    EXPECT_TRUE(ControlById(&dialog, 1114)->isHidden());
    EXPECT_TRUE(ControlById(&dialog, 1004)->isVisible());
    EXPECT_FALSE(ControlById(&dialog, 1140)->isEnabled());
    EXPECT_TRUE(ControlById(&dialog, 1004)->isEnabled());
    // A hidden control can be shown later, as the tab switches do.
    ControlById(&dialog, 1114)->show();
    EXPECT_TRUE(ControlById(&dialog, 1114)->isVisible());
}

TEST(BuildDialog, EarlierControlsLieAboveLaterOnesAndStaticsLetClicksThrough) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QWidget* button = ControlById(&dialog, 1004);
    // The group box (listed after the button) surrounds it but does not cover it.
    EXPECT_EQ(dialog.childAt(button->geometry().center()), button);
    int clicks = 0;
    QObject::connect(static_cast<QPushButton*>(button), &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    // A plain static text and the group box's own area reach the window; a notifying static does not.
    EXPECT_EQ(dialog.childAt(ControlById(&dialog, 1018)->geometry().center()), nullptr);
    EXPECT_EQ(dialog.childAt(ControlById(&dialog, 1172)->geometry().bottomRight() - QPoint(2, 2)), nullptr);
    EXPECT_EQ(dialog.childAt(ControlById(&dialog, 1025)->geometry().center()), ControlById(&dialog, 1025));
}

TEST(BuildDialog, RadioButtonsGroupUntilAGroupStyle) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* direct = ControlAs<QRadioButton>(&dialog, 1189);
    auto* indirect = ControlAs<QRadioButton>(&dialog, 1007);
    auto* other_a = ControlAs<QRadioButton>(&dialog, 1300);
    auto* other_b = ControlAs<QRadioButton>(&dialog, 1301);
    // Anywhere in the control's rectangle counts, as under Windows: the far right end here.
    const QPoint far_end(direct->width() - 2, direct->height() / 2);
    QTest::mouseClick(direct, Qt::LeftButton, {}, far_end);
    QTest::mouseClick(other_b, Qt::LeftButton, {}, far_end);
    EXPECT_TRUE(direct->isChecked());
    EXPECT_TRUE(other_b->isChecked());
    QTest::mouseClick(indirect, Qt::LeftButton, {}, far_end);
    EXPECT_TRUE(indirect->isChecked());
    EXPECT_FALSE(direct->isChecked());
    EXPECT_TRUE(other_b->isChecked()) << "the second group is not touched";
    QTest::mouseClick(other_a, Qt::LeftButton, {}, far_end);
    EXPECT_FALSE(other_b->isChecked());
    EXPECT_TRUE(indirect->isChecked());
}

TEST(BuildDialog, CheckBoxTogglesOnAClickAnywhereInItsRectangle) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* box = ControlAs<QCheckBox>(&dialog, 1220);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 1, box->height() - 1));
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
}

TEST(BuildDialog, EditsTakeTypingAndNumberEditsOnlyDigits) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* text = ControlAs<QLineEdit>(&dialog, 1023);
    auto* number = ControlAs<QLineEdit>(&dialog, 1024);
    QTest::keyClicks(text, "00:01:02.500");
    QTest::keyClicks(number, "12ab3");
    EXPECT_EQ(text->text(), "00:01:02.500");
    EXPECT_EQ(number->text(), "123");
}

TEST(BuildDialog, FocusFollowsTableOrder) {
    QDialog dialog;
    BuildDialog(&dialog, SampleSpec());
    QWidget* first = ControlById(&dialog, 1023);
    QWidget* next = first->nextInFocusChain();
    while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, ControlById(&dialog, 1024));
}

TEST(BuildDialog, FactorySubstitutesControlsById) {
    QDialog dialog;
    std::vector<int> asked;
    const ControlFactory factory = FactoryById({
        {1140,
         [&](const ControlSpec& ctl, QWidget* parent) -> QWidget* {
             asked.push_back(ctl.id);
             return new CustomSlider(parent);
         }},
        {1200, [](const ControlSpec&, QWidget*) -> QWidget* { return new QLabel; }},  // made without a parent
        {1004,
         [](const ControlSpec&, QWidget*) -> QWidget* { return nullptr; }},  // falls back to the default
    });
    const DialogBaseUnits base = BuildDialog(&dialog, SampleSpec(), factory);
    EXPECT_EQ(asked, std::vector<int>{1140});
    auto* slider = dynamic_cast<CustomSlider*>(ControlById(&dialog, 1140));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->geometry(), DialogRectToPixels(QRect(230, 30, 100, 12), base));
    EXPECT_FALSE(slider->isEnabled()) << "styles apply to substituted controls too";
    auto* label = ControlAs<QLabel>(&dialog, 1200);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), &dialog);
    EXPECT_NE(ControlAs<QPushButton>(&dialog, 1004), nullptr);
}

TEST(BuildDialog, WindowWithoutCaptionIsFrameless) {
    QDialog dialog;
    DialogSpec ctl;
    ctl.w = 100;
    ctl.h = 50;
    ctl.caption = false;
    BuildDialog(&dialog, ctl);
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
}

TEST(BuildDialog, ChildWidgetKeepsItsParentsFlags) {
    QWidget window;
    auto* page = new QWidget(&window);
    DialogSpec ctl;
    ctl.w = 40;
    ctl.h = 20;
    ctl.controls = {{7, ControlKind::PushButton, "b", 0, 0, 20, 10, 0}};
    BuildDialog(page, ctl);
    EXPECT_FALSE(page->isWindow());
    EXPECT_NE(ControlById(&window, 7), nullptr) << "found below a child page too";
}

TEST(ComboAddString, AppendsOrInsertsSorted) {
    QComboBox plain;
    EXPECT_EQ(ComboAddString(&plain, "b"), 0);
    EXPECT_EQ(ComboAddString(&plain, "a"), 1);
    QComboBox sorted;
    sorted.setProperty("sorted", true);
    EXPECT_EQ(ComboAddString(&sorted, "/tmp/b"), 0);
    EXPECT_EQ(ComboAddString(&sorted, "/tmp/a"), 0);
    EXPECT_EQ(ComboAddString(&sorted, "/TMP/B"), 2) << "after the equal item";
    EXPECT_EQ(ComboAddString(&sorted, "/tmp/c"), 3);
    EXPECT_EQ(ComboAddString(nullptr, "x"), -1);
}

}  // namespace
