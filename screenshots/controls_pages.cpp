// Gallery page "controls": the shared controls in their states.

#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>

#include "controls/bitmap_slider.h"
#include "controls/check_list_ctrl.h"
#include "controls/control_button.h"
#include "controls/hyperlink.h"
#include "controls/label.h"
#include "controls/static_style.h"
#include "screenshots/gallery.h"

namespace {

// The media tools' window background and file list colour.
const QColor kToolBackground(187, 222, 251);
const QColor kToolListBackground(241, 250, 233);

// A panel on the tools' window background with a caption over its content.
class Sheet : public QWidget {
  public:
    explicit Sheet(const QString& caption) {
        QPalette shades = palette();
        shades.setColor(QPalette::Window, kToolBackground);
        setPalette(shades);
        setAutoFillBackground(true);
        m_layout = new QVBoxLayout(this);
        m_layout->setContentsMargins(14, 10, 14, 14);
        m_layout->setSpacing(6);
        auto* title = new QLabel(caption, this);
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
        m_layout->addWidget(title);
    }
    QVBoxLayout* layout() { return m_layout; }

  private:
    QVBoxLayout* m_layout;
};

void SetUpToolSlider(CBitmapSlider& slider) {
    slider.LoadChannelBitmaps();
    slider.LoadThumbBitmaps();
    slider.DrawFocusRect(false);
    slider.SetRange(0, 1000);
    slider.SetMargins(0, 4, 4, 0);
    slider.setFixedSize(slider.sizeHint());
}

struct SliderState {
    const char* file;
    const char* caption;
    int position;
    int mode;
    int start;
    int end;
    bool focused;
    bool enabled;
};

bool RenderSliders(const QDir& folder) {
    const SliderState states[] = {
        {"slider_mode0", "Bitmap slider, no marks (mode 0)", 350, 0, 0, 0, false, true},
        {"slider_mode1", "Start point set at 250 (mode 1)", 420, 1, 250, 0, false, true},
        {"slider_mode2", "Range 250 to 700 (mode 2)", 500, 2, 250, 700, false, true},
        {"slider_mode2_to_end", "Range 300 to the end (mode 2)", 820, 2, 300, 1000, false, true},
        {"slider_mode2_from_start", "Range from the start to 600 (mode 2)", 150, 2, 0, 600, false, true},
        {"slider_focused", "Focused, with the focus rectangle on", 500, 2, 250, 700, true, true},
        {"slider_disabled", "Control disabled: no thumb, no marks", 500, 2, 250, 700, false, false},
    };
    bool ok = true;
    for (const SliderState& s : states) {
        Sheet sheet(QString::fromUtf8(s.caption));
        auto* slider = new CBitmapSlider(&sheet, 1140);
        SetUpToolSlider(*slider);
        slider->SetSelectionStart(s.start);
        slider->SetSelectionEnd(s.end);
        slider->SetSelectionMode(s.mode);
        slider->SetPosition(s.position);
        slider->Enable(s.enabled);
        sheet.layout()->addWidget(slider);
        if (s.focused) {
            slider->DrawFocusRect(true);
            sheet.show();
            sheet.activateWindow();
            (void)QTest::qWaitForWindowActive(&sheet);
            slider->setFocus(Qt::TabFocusReason);
        }
        ok &= gallery::Save(sheet, folder, QString::fromUtf8(s.file));
    }
    // While dragging: the left button held on the thumb.
    Sheet sheet(QStringLiteral("Dragging the thumb"));
    auto* slider = new CBitmapSlider(&sheet, 1140);
    SetUpToolSlider(*slider);
    slider->SetPosition(640);
    sheet.layout()->addWidget(slider);
    sheet.show();
    (void)QTest::qWaitForWindowExposed(&sheet);
    const int centre = slider->Geometry().ValueToPixel(slider->GetPosition());
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(centre, 9));
    QTest::mouseMove(slider, QPoint(centre + 40, 9));
    ok &= gallery::Save(sheet, folder, QStringLiteral("slider_dragging"));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(centre + 40, 9));
    return ok;
}

CControlButton* ToolButton(QWidget* parent, int image) {
    auto* button = new CControlButton(parent);
    button->SetImages(image, image, image);
    button->SetShapeFromBitmap(image);
    button->setFixedSize(button->sizeHint());
    return button;
}

bool RenderButtonSet(const QDir& folder, const QString& file, const QString& caption,
                     const std::vector<std::pair<int, const char*>>& buttons, int columns) {
    Sheet sheet(caption);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(4);
    int index = 0;
    for (const auto& [image, role] : buttons) {
        const int row = (index / columns) * 2;
        const int column = index % columns;
        grid->addWidget(ToolButton(&sheet, image), row, column, Qt::AlignHCenter | Qt::AlignBottom);
        auto* label = new QLabel(QStringLiteral("%1  %2").arg(image).arg(QString::fromUtf8(role)), &sheet);
        label->setAlignment(Qt::AlignHCenter);
        grid->addWidget(label, row + 1, column, Qt::AlignHCenter | Qt::AlignTop);
        ++index;
    }
    sheet.layout()->addLayout(grid);
    return gallery::Save(sheet, folder, file);
}

bool RenderButtonStates(const QDir& folder) {
    bool ok = true;
    for (int image : {178, 186, 326}) {
        const char* states[] = {"normal", "hover", "pressed"};
        for (int state = 0; state < 3; ++state) {
            Sheet sheet(
                QStringLiteral("Image button %1, %2").arg(image).arg(QString::fromUtf8(states[state])));
            CControlButton* button = ToolButton(&sheet, image);
            sheet.layout()->addWidget(button, 0, Qt::AlignLeft);
            sheet.show();
            (void)QTest::qWaitForWindowExposed(&sheet);
            if (state >= 1) {
                const QPointF inside(button->width() / 2.0, button->height() / 2.0);
                QEnterEvent enter(inside, button->mapTo(&sheet, inside), button->mapToGlobal(inside));
                QApplication::sendEvent(button, &enter);
            }
            if (state == 2) button->setDown(true);
            ok &= gallery::Save(sheet, folder, QStringLiteral("button_%1_%2").arg(image).arg(states[state]));
        }
    }
    return ok;
}

bool RenderButtons(const QDir& folder) {
    bool ok =
        RenderButtonSet(folder, QStringLiteral("buttons_video"), QStringLiteral("Video tool image buttons"),
                        {{178, "Add"},
                         {331, "Remove"},
                         {295, "Merge"},
                         {186, "Convert"},
                         {254, "Open file"},
                         {320, "Start Point"},
                         {326, "Play"},
                         {321, "End Point"}},
                        4);
    ok &= RenderButtonSet(folder, QStringLiteral("buttons_audio"), QStringLiteral("Audio tool image buttons"),
                          {{178, "Add"},
                           {188, "Delete"},
                           {340, "About"},
                           {341, "Setting"},
                           {199, "Browse"},
                           {204, "Find Target"},
                           {186, "Convert"},
                           {295, "Merge"},
                           {301, "Play (off)"},
                           {302, "Play"},
                           {310, "Pause"},
                           {303, "Stop (off)"},
                           {304, "Stop"},
                           {320, "Start Point"},
                           {321, "End Point"},
                           {325, "Play Selection"}},
                          4);
    ok &= RenderButtonStates(folder);
    return ok;
}

void FillList(CCheckListCtrl& list, const std::vector<int>& states) {
    list.setColumnCount(3);
    list.setHorizontalHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Duration"), QStringLiteral("Status")});
    list.setColumnWidth(0, 230);
    list.setColumnWidth(1, 100);
    list.InitHeaderCheckBox();
    const char* files[] = {"holiday_2019.mp4", "interview take 2.mkv", "drone-flight.mov", "birthday.avi",
                           "lecture_part1.flv"};
    const char* lengths[] = {"00:03:12.480", "00:12:05.000", "00:00:48.200", "00:07:33.040", "01:02:17.900"};
    const char* status[] = {"Ready", "Ready", "Done", "Failed", "Ready"};
    for (size_t i = 0; i < states.size(); ++i) {
        const int row = list.InsertItem(-1, QString::fromUtf8(files[i % 5]));
        list.SetItemText(row, 1, QString::fromUtf8(lengths[i % 5]));
        list.SetItemText(row, 2, QString::fromUtf8(status[i % 5]));
        list.SetStateImage(row, states[i]);
    }
    list.SetBkColor(kToolListBackground);
    list.setFixedSize(460, 150);
}

bool RenderCheckLists(const QDir& folder) {
    bool ok = true;
    {
        Sheet sheet(QStringLiteral("Check list, mixed rows (header unchecked), row 2 selected"));
        auto* list = new CCheckListCtrl(&sheet, 1114);
        FillList(*list, {2, 2, 1, 2, 1});
        list->selectRow(1);
        sheet.layout()->addWidget(list);
        ok &= gallery::Save(sheet, folder, QStringLiteral("checklist_mixed"));
    }
    {
        Sheet sheet(QStringLiteral("Check list after a click on the header box: all checked"));
        auto* list = new CCheckListCtrl(&sheet, 1114);
        FillList(*list, {1, 2, 1, 1});
        sheet.layout()->addWidget(list);
        sheet.show();
        (void)QTest::qWaitForWindowExposed(&sheet);
        CCheckHeadCtrl* head = list->HeadCtrl();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, head->SectionRect(0).center());
        ok &= gallery::Save(sheet, folder, QStringLiteral("checklist_all_checked"));
    }
    return ok;
}

bool RenderLinks(const QDir& folder) {
    bool ok = true;
    const char* states[] = {"normal", "hover", "visited"};
    for (int state = 0; state < 3; ++state) {
        Sheet sheet(QStringLiteral("Hyperlink, %1").arg(QString::fromUtf8(states[state])));
        auto* row = new QWidget(&sheet);
        row->setFixedSize(260, 24);
        auto* help = new CHyperLink(QStringLiteral("怎样使用本软件"), row, 1180);
        help->move(4, 4);
        help->SetAddress(QStringLiteral("https://example.org/help"));
        auto* sponsor = new CHyperLink(QStringLiteral("赞助我们"), row, 1281);
        sponsor->move(150, 4);
        sponsor->SetAddress(QStringLiteral("https://example.org/sponsor"));
        sheet.layout()->addWidget(row);
        sheet.show();
        (void)QTest::qWaitForWindowExposed(&sheet);
        if (state == 2) {
            help->SetVisited(true);
            sponsor->SetVisited(true);
        }
        if (state == 1) {
            const QPoint inside = help->rect().center();
            QCursor::setPos(help->mapToGlobal(inside));
            QMouseEvent move(QEvent::MouseMove, inside, help->mapToGlobal(inside), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(help, &move);
        }
        ok &= gallery::Save(sheet, folder, QStringLiteral("link_%1").arg(states[state]));
    }
    return ok;
}

bool RenderLabels(const QDir& folder) {
    Sheet sheet(QStringLiteral("Labels: left, centred, right, centred on one line"));
    const struct {
        int style;
        const char* text;
    } labels[] = {
        {static_style::kLeft, "Converting: holiday_2019.mp4"},
        {static_style::kCenter, "File 2 of 5"},
        {static_style::kRight, "00:03:12.480"},
        {static_style::kCenterImage, "Merging, please wait"},
    };
    for (const auto& l : labels) {
        auto* label = new CLabel(QString::fromUtf8(l.text), &sheet);
        label->SetStaticStyle(l.style);
        label->setFixedSize(300, 22);
        sheet.layout()->addWidget(label);
    }
    return gallery::Save(sheet, folder, QStringLiteral("labels"));
}

bool RenderControls(const QDir& folder) {
    bool ok = RenderSliders(folder);
    ok &= RenderButtons(folder);
    ok &= RenderCheckLists(folder);
    ok &= RenderLinks(folder);
    ok &= RenderLabels(folder);
    return ok;
}

const gallery::Registrar kControls("controls", RenderControls);

}  // namespace
