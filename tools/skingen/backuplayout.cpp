#include "tools/skingen/backuplayout.h"

namespace {

const std::string SECTION = "BACKUP POS";
constexpr int PAD = 8;
constexpr int FIELD_Y = 36;
constexpr int FIELD_H = 20;
constexpr int BUTTON_H = 24;
constexpr int START_W = 56, STOP_W = 50;

} // namespace

CBackupLayout::CBackupLayout(QSize size) : CWindowLayout(0), m_size(size)
{
    SetLatched(false);
    const int inner = m_size.width() - 2 * PAD;
    AddRect(SECTION, "POS_BACKUP_SKIN", QRect(QPoint(0, 0), m_size), false);
    AddRect(SECTION, "POS_BACKUP_CHANNEL", QRect(PAD, FIELD_Y, 50, FIELD_H), false);
    AddRect(SECTION, "POS_BACKUP_FRAMERATE", QRect(PAD + 56, FIELD_Y, 50, FIELD_H), false);
    AddRect(SECTION, "POS_BACKUP_IMAGESIZE", QRect(PAD + 112, FIELD_Y, inner - 112, FIELD_H), false);
    // The format shares the title row; the progress of a running export covers it.
    AddRect(SECTION, "POS_BACKUP_FORMAT", QRect(PAD + 56, 3, inner - 56, 18), false);
    AddRect(SECTION, "POS_BACKUP_RATE_TEXT", QRect(PAD, FIELD_Y + FIELD_H + 1, inner, 12), false);
    // Start, "apply masks" and stop share the bottom row: no other row is free.
    const int y = m_size.height() - PAD - BUTTON_H;
    AddButton("BTN_AVISTART", SECTION, "POS_BACKUP_START", QRect(PAD, y, START_W, BUTTON_H), false,
              EButtonKind::Export, EIcon::Record, "Start");
    AddButton("BTN_AVISTOP", SECTION, "POS_BACKUP_STOP", QRect(m_size.width() - PAD - STOP_W, y, STOP_W, BUTTON_H),
              false, EButtonKind::Key, EIcon::Stop, "Stop");
    AddRect(SECTION, "POS_BACKUP_MASKS", QRect(PAD + START_W + 6, y + (BUTTON_H - 16) / 2, inner - START_W - STOP_W - 10, 16),
            false);
}

QSize CBackupLayout::WindowSize(bool) const { return m_size; }

std::vector<CPanel> CBackupLayout::Panels(bool) const
{
    const auto label = [](int x, const char* text) { return CPanel{EPanel::Label, QRect(x, 23, 60, 12), text}; };
    return {
        {EPanel::Card, QRect(QPoint(0, 0), m_size), "EXPORT"},
        label(PAD, "CAMERA"),
        label(PAD + 56, "FPS"),
        label(PAD + 112, "SIZE"),
    };
}
