#pragma once

#include <QRect>
#include <QString>

#include <string>

// The records in which a window's layout describes itself to the painters, the
// res.ini writer and the preview.

enum class EIcon {
    None,
    Start,
    FastBackward,
    BackwardPlay,
    Pause,
    ForwardPlay,
    FastForward,
    End,
    Open,
    Exit,
    Export,
    Snapshot,
    Plus,
    Minus,
    PagePrev,
    PageNext,
    Grid1,
    Grid4,
    Grid9,
    Grid16,
    Record,
    Stop,
    Bright,
    Dark,
    Sharpen,
    Blur,
    Despeckle, // specks of noise
    Contrast,  // a disc half dark, half light
    Save,
    Print,
    Close,
    Speaker,
    Clock,
    Camera, // a surveillance camera on its mount
};

enum class EButtonKind {
    Key,        // a push key: disabled means unavailable
    Navigation, // a transport key: the player disables it while its state runs, so it looks held in
    Lamp,       // a play-state lamp: enabled means lit
    Export,     // the export key: latched while an export runs, in the recording red
};

// One skin button: its image section and where its pictures go.
struct CButtonDef {
    std::string section;         // e.g. "BTN_EXIT"
    std::string positionSection; // where its rectangle value is, e.g. "MAIN POS"
    std::string positionKey;     // e.g. "POS_EXIT"
    QRect rect;                  // window coordinates, NTSC layout
    bool palFollows = false;
    EButtonKind kind = EButtonKind::Key;
    EIcon icon = EIcon::None;
    QString text;          // a channel number, or a short label beside the icon
    bool latched = false;  // the window reads a DNCHECK picture for it
};

// One rectangle value of res.ini.
struct CRectEntry {
    std::string section;
    std::string key;
    QRect rect;              // NTSC layout
    bool palFollows = false; // the window moves it down in its PAL layout
};

// What the background shows besides the window's ground.
enum class EPanel {
    Outline,    // the one-pixel edge of a borderless window, along `rect`
    TitleBar,   // the strip along the top, `text` written at its right end
    WordMark,   // the program's name with its emblem
    Card,       // a raised surface, `text` its header
    VideoWell,  // the black recess around a picture area
    FieldBezel, // the recess around one of the player's light value fields
    Groove,     // the end caps of the slider's groove
    Label,      // a small caption, left-aligned
    Note,       // a line of dim text, centred
    Icon,       // a glyph drawn on the ground
};

struct CPanel {
    EPanel kind;
    QRect rect;
    QString text;
    EIcon icon = EIcon::None;
};
