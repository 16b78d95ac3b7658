// Layout tables: a form is described by one FormLayout and one row per
// control. Coordinates and sizes are pixels of the client area.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ControlKind : uint8_t {
    Label,          // static text
    Button,         // push button
    CheckBox,       // check box that toggles itself
    GroupBox,       // frame with a caption around other controls
    Edit,           // single-line edit
    Memo,           // multi-line edit
    ListBox,        // list of strings
    ComboBox,       // drop-down list of strings
    Gauge,          // horizontal progress bar with a centred percentage
    DriveBox,       // drop-down list of the system's drives (ui/drive_box.h)
    DirectoryList,  // a directory with its ancestors and subdirectories (ui/directory_list.h)
};

enum ControlFlag : uint32_t {
    cfDefault = 1u << 0,        // button pressed by Enter (drawn as default)
    cfCancel = 1u << 1,         // button pressed by Esc
    cfWordWrap = 1u << 2,       // label text wraps at the right edge
    cfDisabled = 1u << 3,       // created disabled
    cfReadOnly = 1u << 4,       // edit or memo the user cannot change
    cfSorted = 1u << 5,         // list or combo box keeps its items sorted
    cfChecked = 1u << 6,        // check box created ticked
    cfCentered = 1u << 7,       // label text centred
    cfNoTabStop = 1u << 8,      // not reached with Tab
    cfNoPrefix = 1u << 9,       // "&" is shown, not an accelerator
    cfButtonFace = 1u << 10,    // edit or memo drawn on the button-face colour
    cfHidden = 1u << 11,        // created invisible
    cfBold = 1u << 12,          // own font in bold
    cfPartialLines = 1u << 13,  // list box may show a partial last line
};

// One control. Rows that leave TabOrder at 0 are reached in table order;
// a label's accelerator focuses the next focusable control of the table.
struct ControlRow {
    ControlKind Kind;
    const char* Name;
    int Left, Top, Width, Height;
    const char* Text;
    uint32_t Flags = 0;
    int TabOrder = 0;     // smaller first; equal values keep table order
    int ModalResult = 0;  // button: ends a modal show with this result
    int FontHeight = 0;   // own font height (negative: pixels); 0: the form's
};

enum class FormBorder : uint8_t {
    Dialog,  // fixed dialog frame, caption, system menu (close box only)
    Single,  // fixed single frame, caption, system menu and minimise box
};

enum class FormPosition : uint8_t {
    Designed,      // top-left corner of the screen until the form moves itself
    ScreenCenter,  // centred on the screen every time it is shown
};

// Colour value meaning "the system's button-face colour".
constexpr int clBtnFace = -1;

struct FormLayout {
    const char* ClassName;  // window class of the form, e.g. "TExitSetup"
    const char* Caption;
    int ClientWidth, ClientHeight;
    FormBorder Border;
    FormPosition Position;
    const char* FontName;
    int FontHeight;  // negative: character height in pixels
    int Color;       // background: clBtnFace or a COLORREF
    const ControlRow* Rows;
    size_t RowCount;
};

// The dialog font of every form: 8 points at 96 pixels per inch.
constexpr char kDialogFontName[] = "MS Sans Serif";
constexpr int kDialogFontHeight = -11;
