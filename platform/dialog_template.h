#pragma once
// Windows and dialogs built from control tables in dialog units, in place of dialog templates.
//
// Dialog units become pixels by the Windows rule: with the dialog font's average character width
// base.x (the width of "A".."Z" "a".."z" divided by 52, rounded) and its character height base.y,
// x and w scale by base.x / 4 and y and h by base.y / 8, each rounded on its own (MulDiv).
//
// Controls are created in table order. As in a Windows dialog, an earlier control lies above a later
// one where they overlap (a group box or frame listed after the buttons it surrounds stays below
// them), the focus chain follows table order, and static texts, frames, pictures and group boxes let
// mouse presses through to the window unless they have kStyleNotify.
// Each control carries its id as the dynamic property "controlId" and the objectName
// "control_<id>"; ControlById finds it again. UI thread only.

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

class QComboBox;
class QFont;

namespace platform {

enum class ControlKind {
    Label,          // static text: QLabel, plain text, word-wrapped
    PushButton,     // QPushButton
    DefPushButton,  // QPushButton, the dialog's default button
    RadioButton,    // auto radio button: a QRadioButton taking clicks anywhere in its rectangle, as
                    // Windows does; consecutive radio buttons form one exclusive group
    CheckBox,       // auto check box: a QCheckBox taking clicks anywhere in its rectangle
    GroupBox,       // QGroupBox drawn as a frame with a title; it is not the parent of what it surrounds
    Edit,           // single-line edit: QLineEdit (QPlainTextEdit with kStyleMultiline)
    ComboBox,       // drop-down list: QComboBox (editable with kStyleEditable); h is the dropped height
    ListView,       // list control in report view: QTreeWidget without root decoration
    TabControl,     // the tab strip only: QTabBar; the pages are sibling controls shown and hidden
    ProgressBar,    // QProgressBar, range 0..100, no text
    Slider,         // trackbar: QSlider, range 0..100, horizontal unless kStyleVertical
    Frame,          // static rectangle or frame (black frame, etched, sunken): QFrame
    Picture,        // static picture: QLabel showing a pixmap set later
    Custom,         // a window's own control class, made by the factory; a plain QWidget otherwise
};

// Control styles, or-ed together in ControlSpec::styles.
inline constexpr unsigned kStyleHidden = 1u << 0;            // created without WS_VISIBLE
inline constexpr unsigned kStyleDisabled = 1u << 1;          // WS_DISABLED
inline constexpr unsigned kStyleGroup = 1u << 2;             // WS_GROUP: a radio button starting a new group
inline constexpr unsigned kStyleBorder = 1u << 3;            // WS_BORDER: plain box frame
inline constexpr unsigned kStyleSunken = 1u << 4;            // SS_SUNKEN, WS_EX_CLIENTEDGE: sunken panel
inline constexpr unsigned kStyleCenter = 1u << 5;            // text centred
inline constexpr unsigned kStyleRight = 1u << 6;             // text right-aligned
inline constexpr unsigned kStyleNotify = 1u << 7;            // SS_NOTIFY: a static that takes mouse presses
inline constexpr unsigned kStyleReadOnly = 1u << 8;          // ES_READONLY
inline constexpr unsigned kStylePassword = 1u << 9;          // ES_PASSWORD
inline constexpr unsigned kStyleNumber = 1u << 10;           // ES_NUMBER: digits only
inline constexpr unsigned kStyleMultiline = 1u << 11;        // ES_MULTILINE
inline constexpr unsigned kStyleAutoHScroll = 1u << 12;      // ES_AUTOHSCROLL (a QLineEdit always scrolls)
inline constexpr unsigned kStyleVScroll = 1u << 13;          // WS_VSCROLL
inline constexpr unsigned kStyleEditable = 1u << 14;         // CBS_DROPDOWN: combo box with an edit
inline constexpr unsigned kStyleSorted = 1u << 15;           // CBS_SORT: see ComboAddString
inline constexpr unsigned kStyleVertical = 1u << 16;         // TBS_VERT, PBS_VERTICAL
inline constexpr unsigned kStyleBlackFrame = 1u << 17;       // SS_BLACKFRAME
inline constexpr unsigned kStyleEtchedFrame = 1u << 18;      // SS_ETCHEDFRAME
inline constexpr unsigned kStyleSingleSelection = 1u << 19;  // LVS_SINGLESEL (else extended selection)
inline constexpr unsigned kStyleNoColumnHeader = 1u << 20;   // LVS_NOCOLUMNHEADER

inline constexpr int kStaticId = -1;  // IDC_STATIC: a control nobody addresses

struct ControlSpec {
    int id = kStaticId;
    ControlKind kind = ControlKind::Label;
    QString text;                    // caption; a tab control's tabs are added by the window
    int x = 0, y = 0, w = 0, h = 0;  // dialog units, relative to the dialog's client area
    unsigned styles = 0;
};

struct DialogSpec {
    int id = 0;                                          // template number
    QString title;                                       // caption; replaced by most windows at start
    int w = 0, h = 0;                                    // client size in dialog units
    QString font_name = QStringLiteral("MS Shell Dlg");  // any name stands for the desktop UI font
    int font_points = 8;
    bool caption = true;      // title bar; without it the window is frameless
    bool system_menu = true;  // close button
    bool minimize_box = false;
    std::vector<ControlSpec> controls;  // in template order
};

// Average character width (x) and character height (y) of a dialog font, in pixels.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

DialogBaseUnits BaseUnitsForFont(const QFont& font);

// (a * b) / c rounded half away from zero, as Windows' MulDiv; 0 when c is 0.
int MulDiv(int a, int b, int c);

// A rectangle in dialog units to pixels (MapDialogRect): each of x, y, w, h scaled on its own.
QRect DialogRectToPixels(const QRect& rect_du, DialogBaseUnits base);

// The font a template's font stands for: the desktop's UI font at the given point size (CJK texts
// are drawn through the font's fall-backs).
QFont DialogFont(const QString& name, int points);

// Makes the widget for a control, or returns nullptr to let the builder make its default one.
// Whatever it returns is re-parented to parent and then gets the builder's geometry, id,
// objectName, visibility and enabled state; its text is the factory's business.
using ControlFactory = std::function<QWidget*(const ControlSpec& ctl, QWidget* parent)>;

// A factory that asks the factory registered for the control's id, and nullptr for other ids.
// For example {{1140, [](const ControlSpec&, QWidget* p) { return new CBitmapSlider(p); }}}.
ControlFactory FactoryById(std::map<int, ControlFactory> by_id);

// Sets up dialog (a QDialog or any top-level or child QWidget) from the template: font, fixed client
// size, title and window flags (for windows only), then every control. Call once, on an empty widget,
// before showing it. Returns the base units used.
DialogBaseUnits BuildDialog(QWidget* dialog, const DialogSpec& ctl, const ControlFactory& factory = {});

// The control with this id in dialog (its direct children first, then deeper), or nullptr.
QWidget* ControlById(const QWidget* dialog, int id);

template <typename T>
T* ControlAs(const QWidget* dialog, int id) {
    return qobject_cast<T*>(ControlById(dialog, id));
}

// The id a control was built with, or 0 when it is not a template control (GetDlgCtrlID).
int ControlIdOf(const QWidget* control);

// Adds an item the way CB_ADDSTRING does: at the end, or for a kStyleSorted box in place by
// case-insensitive order (after equal items). Returns the new item's index.
int ComboAddString(QComboBox* box, const QString& text);

}  // namespace platform
