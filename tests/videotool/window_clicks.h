#pragma once
// Mouse clicks on the main window's own controls, as a user makes them.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTabBar>
#include <QtTest/QTest>

#include "controls/bitmap_slider.h"
#include "controls/control_button.h"

namespace window_clicks {

// Clicks an image button inside its shape.
inline void ClickImageButton(CControlButton* button, int id) {
    ASSERT_TRUE(button->isVisible()) << id;
    QPoint at = button->HasRegion() ? button->Shape().boundingRect().center() : button->rect().center();
    // A picture whose middle is white (not part of the shape) is clicked on its largest part instead.
    if (button->HasRegion() && !button->Shape().contains(at)) {
        QRect largest;
        for (const QRect& r : button->Shape())
            if (r.width() * r.height() > largest.width() * largest.height()) largest = r;
        at = largest.center();
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

inline void ClickTab(QTabBar* tabs, int index) {
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    ASSERT_EQ(tabs->currentIndex(), index);
}

// Presses the slider's channel where a value lies; the slider reports the move queued, so events are
// processed before returning. Gives the slider's new position.
inline int ClickSliderAt(CBitmapSlider* slider, int value) {
    const QPoint at(slider->Geometry().ValueToPixel(value), slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, at);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    return slider->GetPosition();
}

}  // namespace window_clicks
