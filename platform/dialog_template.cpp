#include "platform/dialog_template.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTabBar>
#include <QTreeWidget>

namespace platform {

namespace {

const char kIdProperty[] = "controlId";

// Windows buttons take a click anywhere in their rectangle; Qt's only on the indicator and text.
class TemplateRadioButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class TemplateCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

bool Has(const ControlSpec& ctl, unsigned style) { return (ctl.styles & style) != 0; }

Qt::Alignment TextAlignment(const ControlSpec& ctl, Qt::Alignment vertical) {
    if (Has(ctl, kStyleCenter)) return Qt::AlignHCenter | vertical;
    if (Has(ctl, kStyleRight)) return Qt::AlignRight | vertical;
    return Qt::AlignLeft | vertical;
}

void ApplyFrame(QFrame* frame, const ControlSpec& ctl) {
    if (Has(ctl, kStyleSunken)) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    } else if (Has(ctl, kStyleEtchedFrame)) {
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    } else if (Has(ctl, kStyleBlackFrame) || Has(ctl, kStyleBorder)) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
        if (Has(ctl, kStyleBlackFrame)) {
            QPalette palette = frame->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            frame->setPalette(palette);
        }
    }
}

QWidget* MakeDefault(const ControlSpec& ctl, QWidget* parent) {
    switch (ctl.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(TextAlignment(ctl, Qt::AlignTop));
            label->setText(ctl.text);
            ApplyFrame(label, ctl);
            return label;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(ctl.text, parent);
            if (ctl.kind == ControlKind::DefPushButton) button->setDefault(true);
            return button;
        }
        case ControlKind::RadioButton:
            return new TemplateRadioButton(ctl.text, parent);
        case ControlKind::CheckBox:
            return new TemplateCheckBox(ctl.text, parent);
        case ControlKind::GroupBox:
            return new QGroupBox(ctl.text, parent);
        case ControlKind::Edit: {
            if (Has(ctl, kStyleMultiline)) {
                auto* edit = new QPlainTextEdit(ctl.text, parent);
                edit->setReadOnly(Has(ctl, kStyleReadOnly));
                if (!Has(ctl, kStyleVScroll)) edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                return edit;
            }
            auto* edit = new QLineEdit(ctl.text, parent);
            edit->setReadOnly(Has(ctl, kStyleReadOnly));
            edit->setAlignment(TextAlignment(ctl, Qt::AlignVCenter));
            if (Has(ctl, kStylePassword)) edit->setEchoMode(QLineEdit::Password);
            if (Has(ctl, kStyleNumber))
                edit->setValidator(
                    new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            return edit;
        }
        case ControlKind::ComboBox: {
            auto* box = new QComboBox(parent);
            box->setEditable(Has(ctl, kStyleEditable));
            if (Has(ctl, kStyleSorted)) box->setProperty("sorted", true);
            return box;
        }
        case ControlKind::ListView: {
            auto* list = new QTreeWidget(parent);
            list->setRootIsDecorated(false);
            list->setItemsExpandable(false);
            list->setUniformRowHeights(true);
            list->setAllColumnsShowFocus(true);
            list->setColumnCount(0);
            list->setHeaderHidden(Has(ctl, kStyleNoColumnHeader));
            list->header()->setSectionsMovable(false);
            list->setSelectionMode(Has(ctl, kStyleSingleSelection) ? QAbstractItemView::SingleSelection
                                                                    : QAbstractItemView::ExtendedSelection);
            return list;
        }
        case ControlKind::TabControl: {
            auto* tabs = new QTabBar(parent);
            tabs->setExpanding(false);
            tabs->setDrawBase(false);
            return tabs;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            if (Has(ctl, kStyleVertical)) bar->setOrientation(Qt::Vertical);
            return bar;
        }
        case ControlKind::Slider:
            return new QSlider(Has(ctl, kStyleVertical) ? Qt::Vertical : Qt::Horizontal, parent);
        case ControlKind::Frame: {
            auto* frame = new QFrame(parent);
            ApplyFrame(frame, ctl);
            return frame;
        }
        case ControlKind::Picture: {
            auto* picture = new QLabel(parent);
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            ApplyFrame(picture, ctl);
            return picture;
        }
        case ControlKind::Custom:
            break;
    }
    return new QWidget(parent);
}

// Statics take no mouse input under Windows unless they notify; presses reach the window behind.
bool PassesMouseThrough(const ControlSpec& ctl) {
    switch (ctl.kind) {
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::Picture:
        case ControlKind::GroupBox:
            return !Has(ctl, kStyleNotify);
        default:
            return false;
    }
}

}  // namespace

int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const long long product = static_cast<long long>(a) * b;
    const long long half = (c > 0 ? c : -c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = ((product < 0 ? -product : product) + half) / (c > 0 ? c : -c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogBaseUnits BaseUnitsForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

QRect DialogRectToPixels(const QRect& rect_du, DialogBaseUnits base) {
    return QRect(MulDiv(rect_du.x(), base.x, 4), MulDiv(rect_du.y(), base.y, 8),
                 MulDiv(rect_du.width(), base.x, 4), MulDiv(rect_du.height(), base.y, 8));
}

QFont DialogFont(const QString& name, int points) {
    Q_UNUSED(name);  // "MS Shell Dlg", "Microsoft Sans Serif", "宋体": all stand for the desktop's font
    QFont font = QApplication::font();
    if (points > 0) font.setPointSize(points);
    return font;
}

ControlFactory FactoryById(std::map<int, ControlFactory> by_id) {
    return [by_id = std::move(by_id)](const ControlSpec& ctl, QWidget* parent) -> QWidget* {
        const auto it = by_id.find(ctl.id);
        if (it == by_id.end() || !it->second) return nullptr;
        return it->second(ctl, parent);
    };
}

DialogBaseUnits BuildDialog(QWidget* dialog, const DialogSpec& ctl, const ControlFactory& factory) {
    const QFont font = DialogFont(ctl.font_name, ctl.font_points);
    dialog->setFont(font);
    const DialogBaseUnits base = BaseUnitsForFont(font);
    if (dialog->isWindow()) {
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
        if (ctl.caption) {
            flags |= Qt::WindowTitleHint;
            // Title-bar buttons need a title bar: Qt would bring the frame back for them.
            if (ctl.system_menu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            if (ctl.minimize_box) flags |= Qt::WindowMinimizeButtonHint;
        } else {
            flags |= Qt::FramelessWindowHint;
        }
        dialog->setWindowFlags(flags);
        dialog->setWindowTitle(ctl.title);
    }
    dialog->setFixedSize(DialogRectToPixels(QRect(0, 0, ctl.w, ctl.h), base).size());

    QButtonGroup* radio_group = nullptr;
    bool previous_was_radio = false;
    for (const ControlSpec& control : ctl.controls) {
        QWidget* widget = factory ? factory(control, dialog) : nullptr;
        if (!widget) widget = MakeDefault(control, dialog);
        if (widget->parentWidget() != dialog) widget->setParent(dialog);

        QRect geometry = DialogRectToPixels(QRect(control.x, control.y, control.w, control.h), base);
        if (auto* box = qobject_cast<QComboBox*>(widget)) {
            geometry.setHeight(box->sizeHint().height());  // the template's height is the dropped list's
        }
        widget->setGeometry(geometry);
        widget->setProperty(kIdProperty, control.id);
        widget->setObjectName(QStringLiteral("control_%1").arg(control.id));
        widget->setEnabled(!Has(control, kStyleDisabled));
        if (PassesMouseThrough(control)) widget->setAttribute(Qt::WA_TransparentForMouseEvents);
        // Earlier controls lie above later ones, as in a template.
        widget->lower();
        widget->setVisible(!Has(control, kStyleHidden));

        auto* radio = qobject_cast<QRadioButton*>(widget);
        if (radio) {
            if (!previous_was_radio || Has(control, kStyleGroup) || !radio_group) {
                radio_group = new QButtonGroup(dialog);
                radio_group->setExclusive(true);
            }
            radio_group->addButton(radio);
        }
        previous_was_radio = radio != nullptr;
    }
    return base;
}

QWidget* ControlById(const QWidget* dialog, int id) {
    if (!dialog) return nullptr;
    const QString name = QStringLiteral("control_%1").arg(id);
    for (auto* child : dialog->findChildren<QWidget*>(name, Qt::FindDirectChildrenOnly)) {
        if (child->property(kIdProperty).toInt() == id) return child;
    }
    for (auto* child : dialog->findChildren<QWidget*>(name, Qt::FindChildrenRecursively)) {
        if (child->property(kIdProperty).toInt() == id) return child;
    }
    return nullptr;
}

int ControlIdOf(const QWidget* control) {
    if (!control) return 0;
    const QVariant id = control->property(kIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

int ComboAddString(QComboBox* box, const QString& text) {
    if (!box) return -1;
    int index = box->count();
    if (box->property("sorted").toBool()) {
        index = 0;
        while (index < box->count() && box->itemText(index).compare(text, Qt::CaseInsensitive) <= 0) ++index;
    }
    box->insertItem(index, text);
    return index;
}

}  // namespace platform
