#include "controls/label.h"

#include <gtest/gtest.h>

#include <QTest>

#include "controls/static_style.h"

namespace {

TEST(LabelTextFlags, FollowTheStaticStyle) {
    using namespace static_style;
    const struct {
        const char* name;
        int style;
        const char* text;
        int flags;
    } cases[] = {
        {"left wraps", kLeft, "a b", Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap},
        {"centre wraps", kCenter, "a b", Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap},
        {"right wraps", kRight, "a b", Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap},
        {"left without wrap", kLeftNoWordWrap, "a b", Qt::AlignLeft | Qt::AlignTop},
        {"tab expands", kLeft, "a\tb", Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs},
        {"centre image, one line", kLeft | kCenterImage, "a b",
         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine},
        {"centre image, CR LF", kRight | kCenterImage, "a\r\nb", Qt::AlignHCenter | Qt::AlignTop},
        {"centre image, bare LF is one line", kLeft | kCenterImage, "a\nb",
         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LabelTextFlags(c.style, QString::fromUtf8(c.text)), c.flags) << c.name;
}

TEST(Label, PaintsItsTextOnTheDialogFace) {
    QWidget window;
    CLabel label(QStringLiteral("Converting"), &window, 1018);
    label.setGeometry(0, 0, 120, 20);
    label.SetTextColor(Qt::black);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage empty_face = [&] {
        CLabel blank(QString(), &window);
        blank.resize(120, 20);
        return blank.grab().toImage();
    }();
    const QImage painted = label.grab().toImage();
    EXPECT_EQ(empty_face.pixel(0, 0), window.palette().color(QPalette::Window).rgb());
    EXPECT_NE(painted, empty_face);
    // Right-aligned text leaves the left part of a wide label bare.
    label.SetStaticStyle(static_style::kRight);
    const QImage right = label.grab().toImage();
    for (int y = 0; y < 20; ++y) EXPECT_EQ(right.pixel(2, y), empty_face.pixel(2, y)) << y;
}

}  // namespace
