#include "tools/skingen/playerlayout.h"

namespace {

constexpr int WIDTH = 1010;
constexpr int VIDEO_X = 54;
constexpr int VIDEO_Y = 44;
constexpr int VIDEO_W = 720;
constexpr int VIDEO_H = 480;
constexpr int PAD = 8; // inner margin of every card

// The side column right of the picture.
constexpr int COLUMN_X = 782;
constexpr int COLUMN_W = 222;
constexpr int INNER_X = COLUMN_X + PAD;
constexpr int INNER_W = COLUMN_W - 2 * PAD;

// The player draws its clock at fixed window positions: 790..889 across, 76..87 down.
constexpr QRect CLOCK_CARD(COLUMN_X, 42, COLUMN_W, 56);
constexpr QRect RECORD_CARD(COLUMN_X, 106, COLUMN_W, 136);
constexpr QRect PLAY_CARD(COLUMN_X, 250, COLUMN_W, 96);
constexpr QRect RATE_CARD(COLUMN_X, 354, COLUMN_W, 80);
constexpr QRect LAYOUT_CARD(COLUMN_X, 442, COLUMN_W, 85); // ends level with the picture's well

// Below the picture; all of it moves down with the PAL picture. The slider is 728
// wide, so that its thumb travels the player's 0..710 scale, centred under the picture.
constexpr QRect SLIDER(VIDEO_X + VIDEO_W / 2 - 364, 533, 728, 16);
constexpr int ROW1_H = 34; // tools, transport, page keys, Exit
constexpr int ROW2_H = 26; // channel keys
constexpr int ROW_GAP = 6;
constexpr QRect CONTROL_BAR(52, 555, 725, PAD + ROW1_H + ROW_GAP + ROW2_H + PAD);
constexpr int ROW1_Y = CONTROL_BAR.y() + PAD;
constexpr int ROW2_Y = ROW1_Y + ROW1_H + ROW_GAP;
// The export panel's place, beside slider and control bar.
constexpr QRect DOCK(COLUMN_X, SLIDER.y(), COLUMN_W, CONTROL_BAR.bottom() + 1 - SLIDER.y());
constexpr int BOTTOM_MARGIN = 8;

constexpr int KEY_W = 40;
constexpr int TRANSPORT_W = 44;
constexpr int TRANSPORT_LEFT = VIDEO_X + VIDEO_W / 2 - (7 * TRANSPORT_W + 6 * 4) / 2;
constexpr int EXIT_LEFT = CONTROL_BAR.x() + CONTROL_BAR.width() - PAD - KEY_W;

// The player places its audio switches itself: x 6, y 220..325, 42 x 21 each. They
// stand on a rail as tall as the picture, under a speaker sign.
constexpr QRect AUDIO_RAIL(4, 42, 46, 485);
constexpr int AUDIO_TOP = 220;

constexpr int TEXT_H = 13;
constexpr int PLAY_LINES_Y = 22, PLAY_LINE_H = 20; // in the playback card, under its label
constexpr int LAMPS_Y = PLAY_LINES_Y + 2 * PLAY_LINE_H; // the play-state lamps, under the lines

} // namespace

CPlayerLayout::CPlayerLayout() : CWindowLayout(PAL_SHIFT)
{
    AddMainPositions();
    AddNavigation();
    AddModes();
    AddChannels();
    AddTimePanel();
}

QSize CPlayerLayout::WindowSize(bool pal) const
{
    const int height = CONTROL_BAR.bottom() + 1 + BOTTOM_MARGIN;
    return QSize(WIDTH, height + (pal ? PAL_GROWTH : 0));
}

QRect CPlayerLayout::VideoArea(bool pal) const
{
    return QRect(VIDEO_X, VIDEO_Y, VIDEO_W, VIDEO_H + (pal ? PAL_GROWTH : 0));
}

void CPlayerLayout::AddMainPositions()
{
    const std::string main = "MAIN POS";
    AddRect(main, "POS_SKIN", QRect(QPoint(0, 0), WindowSize(false)), false);
    AddRect(main, "POS_LOGO", QRect(14, 8, 176, 24), false);
    AddRect(main, "POS_OVERLAY", QRect(0, 0, 180, 120), false);
    AddRect(main, "POS_OVERLAY_TERM", QRect(VIDEO_X, VIDEO_Y, VIDEO_W, VIDEO_H), false);

    const auto tool = [&](int i) { return QRect(CONTROL_BAR.x() + PAD + (KEY_W + 4) * i, ROW1_Y, KEY_W, ROW1_H); };
    AddButton("BTN_EXIT", main, "POS_EXIT", QRect(EXIT_LEFT, ROW1_Y, KEY_W, ROW1_H), true, EButtonKind::Key,
              EIcon::Exit);
    AddButton("BTN_OPEN", main, "POS_OPEN", tool(0), true, EButtonKind::Key, EIcon::Open);
    AddButton("BTN_BACKUP", main, "POS_BACKUP", tool(1), true, EButtonKind::Export, EIcon::Export);
    AddButton("BTN_EDIT", main, "POS_EDIT", tool(2), true, EButtonKind::Key, EIcon::Snapshot);

    // Two stepper rows, right-aligned in their card: [-] [value] [+].
    const auto stepper = [&](int row, int part) {
        const int y = RATE_CARD.y() + 14 + 32 * row;
        const int right = INNER_X + INNER_W;
        const QRect parts[3] = {QRect(right - 112, y, 24, 20), QRect(right - 84, y, 56, 20), QRect(right - 24, y, 24, 20)};
        return parts[part];
    };
    AddButton("BTN_SPEED_UP", main, "POS_SPEED_UP", stepper(0, 2), false, EButtonKind::Key, EIcon::Plus);
    AddButton("BTN_SPEED_DN", main, "POS_SPEED_DN", stepper(0, 0), false, EButtonKind::Key, EIcon::Minus);
    AddRect(main, "POS_SPEED_VAL", stepper(0, 1), false);
    AddButton("BTN_DELAY_UP", main, "POS_DELAY_UP", stepper(1, 2), false, EButtonKind::Key, EIcon::Plus);
    AddButton("BTN_DELAY_DN", main, "POS_DELAY_DN", stepper(1, 0), false, EButtonKind::Key, EIcon::Minus);
    AddRect(main, "POS_DELAY_VAL", stepper(1, 1), false);

    AddRect(main, "POS_SLIDE", SLIDER, true);
    AddRect(main, "POS_BACKUP_WIN", DOCK, true);
}

void CPlayerLayout::AddNavigation()
{
    const std::string nav = "NAVIGATION POS";
    struct CStep {
        const char* key;
        const char* image;
        const char* lampKey;
        const char* lampImage;
        EIcon icon;
    };
    const CStep steps[7] = {
        {"POS_START", "BTN_START", "POS_STATE_START", "STATE_START", EIcon::Start},
        {"POS_RWPLAY", "BTN_RWPLAY", "POS_STATE_RW", "STATE_RW", EIcon::FastBackward},
        {"POS_BPLAY", "BTN_BPLAY", "POS_STATE_BP", "STATE_BP", EIcon::BackwardPlay},
        {"POS_PAUSE", "BTN_PAUSE", "POS_STATE_PAUSE", "STATE_PAUSE", EIcon::Pause},
        {"POS_FPLAY", "BTN_FPLAY", "POS_STATE_FP", "STATE_FP", EIcon::ForwardPlay},
        {"POS_FFPLAY", "BTN_FFPLAY", "POS_STATE_FF", "STATE_FF", EIcon::FastForward},
        {"POS_END", "BTN_END", "POS_STATE_END", "STATE_END", EIcon::End},
    };
    // The transport is centred under the picture.
    for (int i = 0; i < 7; ++i)
        AddButton(steps[i].image, nav, steps[i].key,
                  QRect(TRANSPORT_LEFT + (TRANSPORT_W + 4) * i, ROW1_Y, TRANSPORT_W, ROW1_H), true,
                  EButtonKind::Navigation, steps[i].icon);
    for (int i = 0; i < 7; ++i)
        AddButton(steps[i].lampImage, nav, steps[i].lampKey, QRect(INNER_X + 30 * i, PLAY_CARD.y() + LAMPS_Y, 26, 28),
                  false, EButtonKind::Lamp, steps[i].icon);
}

void CPlayerLayout::AddModes()
{
    const EIcon grids[4] = {EIcon::Grid1, EIcon::Grid4, EIcon::Grid9, EIcon::Grid16};
    const int counts[4] = {1, 4, 9, 16};
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(counts[i]);
        AddButton("BTN_MODE" + n, "MODE POS", "POS_MODE" + n, QRect(INNER_X + 52 * i, LAYOUT_CARD.y() + 31, 50, 46),
                  false, EButtonKind::Key, grids[i]);
    }
}

void CPlayerLayout::AddChannels()
{
    const std::string ch = "CH POS";
    const int left = CONTROL_BAR.x() + (CONTROL_BAR.width() - (16 * KEY_W + 15 * 4)) / 2;
    for (int n = 1; n <= 16; ++n)
        AddButton("BTN_CH" + std::to_string(n), ch, "POS_CH" + std::to_string(n),
                  QRect(left + (KEY_W + 4) * (n - 1), ROW2_Y, KEY_W, ROW2_H), true, EButtonKind::Key, EIcon::None,
                  QString::number(n));
    // The page group, [<] [page] [>], sits in the first row midway between the
    // transport and Exit.
    const int transportRight = TRANSPORT_LEFT + 7 * TRANSPORT_W + 6 * 4;
    const int x = (transportRight + EXIT_LEFT) / 2 - 46;
    AddRect(ch, "POS_PAGE_VAL", QRect(x + 30, ROW1_Y + 7, 32, 20), true);
    AddButton("BTN_PREV_PAGE", ch, "POS_PREV_PAGE", QRect(x, ROW1_Y + 4, 26, 26), true, EButtonKind::Key,
              EIcon::PagePrev);
    AddButton("BTN_NEXT_PAGE", ch, "POS_NEXT_PAGE", QRect(x + 66, ROW1_Y + 4, 26, 26), true, EButtonKind::Key,
              EIcon::PageNext);
}

void CPlayerLayout::AddTimePanel()
{
    const std::string time = "TIME INFO POS";
    const int top = RECORD_CARD.y() + 27;
    const auto line = [&](int y, int width) { return QRect(INNER_X, top + y, width, TEXT_H); };
    AddRect(time, "POS_S_TIME_TEXT", line(0, 120), false);
    AddRect(time, "POS_S_DATE", line(17, INNER_W), false);
    AddRect(time, "POS_S_TIME", line(33, INNER_W), false);
    AddRect(time, "POS_E_TIME_TEXT", line(56, 120), false);
    AddRect(time, "POS_E_DATE", line(73, INNER_W), false);
    AddRect(time, "POS_E_TIME", line(89, INNER_W), false);
    // The picture's date over its time, in figures as tall as the clock's.
    AddRect(time, "POS_CUR_PLAY_DATE", QRect(INNER_X, PLAY_CARD.y() + PLAY_LINES_Y, INNER_W, PLAY_LINE_H), false);
    AddRect(time, "POS_CUR_PLAY_TIME", QRect(INNER_X, PLAY_CARD.y() + PLAY_LINES_Y + PLAY_LINE_H, INNER_W, PLAY_LINE_H),
            false);
}

std::vector<CPanel> CPlayerLayout::Panels(bool pal) const
{
    std::vector<CPanel> panels;
    const QSize size = WindowSize(pal);
    const QRect seen(HIDDEN_EDGE, HIDDEN_EDGE, size.width() - HIDDEN_EDGE, size.height() - HIDDEN_EDGE);
    panels.push_back({EPanel::Outline, seen, {}});
    panels.push_back({EPanel::TitleBar, QRect(4, 4, WIDTH - 8, 31), "DVR BACKUP PLAYER"});
    const QRect video = VideoArea(pal);
    panels.push_back({EPanel::VideoWell, video.adjusted(-2, -2, 3, 3), {}});
    const QRect rail = AUDIO_RAIL.adjusted(0, 0, 0, pal ? PAL_GROWTH : 0);
    panels.push_back({EPanel::Card, rail, {}});
    panels.push_back({EPanel::Icon, QRect(rail.x() + 13, AUDIO_TOP - 24, 20, 16), {}, EIcon::Speaker});
    AppendColumnPanels(panels);
    AppendLowerPanels(panels, pal);
    return panels;
}

void CPlayerLayout::AppendColumnPanels(std::vector<CPanel>& panels) const
{
    panels.push_back({EPanel::Card, CLOCK_CARD, "LOCAL TIME"});
    panels.push_back({EPanel::Icon, QRect(CLOCK_CARD.right() - PAD - 13, 74, 14, 14), {}, EIcon::Clock});
    panels.push_back({EPanel::Card, RECORD_CARD, "RECORDING"});
    panels.push_back({EPanel::Card, PLAY_CARD, "PLAYBACK"});
    panels.push_back({EPanel::Card, RATE_CARD, {}});
    panels.push_back({EPanel::Label, QRect(INNER_X, Find("POS_SPEED_VAL", false).y(), 80, 20), "SPEED"});
    panels.push_back({EPanel::Label, QRect(INNER_X, Find("POS_DELAY_VAL", false).y(), 80, 20), "DELAY"});
    panels.push_back({EPanel::FieldBezel, Find("POS_SPEED_VAL", false), {}});
    panels.push_back({EPanel::FieldBezel, Find("POS_DELAY_VAL", false), {}});
    panels.push_back({EPanel::Card, LAYOUT_CARD, "LAYOUT"});
}

void CPlayerLayout::AppendLowerPanels(std::vector<CPanel>& panels, bool pal) const
{
    panels.push_back({EPanel::Groove, Find("POS_SLIDE", pal), {}});
    panels.push_back({EPanel::Card, Shifted(CONTROL_BAR, pal), {}});
    panels.push_back({EPanel::FieldBezel, Find("POS_PAGE_VAL", pal), {}});
    const QRect dock = Find("POS_BACKUP_WIN", pal);
    panels.push_back({EPanel::Card, dock, "EXPORT"});
    panels.push_back({EPanel::Icon, QRect(dock.center().x() - 12, dock.y() + 36, 24, 24), {}, EIcon::Export});
    panels.push_back({EPanel::Note, QRect(dock.x(), dock.y() + 66, dock.width(), 14), "Export a camera to AVI or MP4"});
}
