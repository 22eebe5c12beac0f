#include "tools/skingen/previewcomposer.h"

#include "tools/skingen/clockstrip.h"
#include "tools/skingen/playerlayout.h"
#include "tools/skingen/skinpalette.h"
#include "tools/skingen/skinwriter.h"

#include "skin/skinbutton.h"

#include <QFontMetricsF>
#include <QPainter>

using namespace SkinPalette;

namespace {

const std::string TIME_INFO = "TIME INFO POS";
const std::string MAIN_POS = "MAIN POS";
constexpr int SLIDER_POS = 236; // thumb position on the player's 0..710 scale

// The player's info font: Arial, 12 pixels high, characters 5 pixels wide on average.
QFont InfoFont()
{
    QFont font("Arial");
    font.setPixelSize(12);
    font.setBold(true);
    font.setStretch(int(100 * 5.0 / QFontMetricsF(font).averageCharWidth()));
    return font;
}

// What the player's value fields are written in.
QFont FieldFont()
{
    QFont font("Fixedsys");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(12);
    font.setBold(true);
    return font;
}

// Text drawn the way the player draws its time panel: word-wrapped into the
// rectangle, on an opaque ground when one is given.
void PanelText(QPainter& painter, const QRect& rect, const QString& text, const QColor& colour,
               const QColor* ground)
{
    painter.setPen(colour);
    painter.setBackgroundMode(ground ? Qt::OpaqueMode : Qt::TransparentMode);
    if (ground)
        painter.setBackground(*ground);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    painter.setBackgroundMode(Qt::TransparentMode);
}

// The slot a button shows in the preview's scene.
int DemoSlot(const CButtonDef& button)
{
    if (button.kind == EButtonKind::Lamp)
        return button.section == "STATE_PAUSE" ? SKIN_IMG_NORMAL : SKIN_IMG_DISABLE;
    if (button.kind == EButtonKind::Navigation || button.section == "BTN_EDIT" || button.section == "BTN_PREV_PAGE" ||
        button.section == "BTN_NEXT_PAGE")
        return SKIN_IMG_DISABLE;
    return SKIN_IMG_NORMAL;
}

} // namespace

CPreviewComposer::CPreviewComposer(const QString& folder)
    : m_reader(CSkinWriter::IniPath(folder).toStdString(), (folder + "/").toStdString(), CPlayerLayout::PAL_SHIFT)
{
}

QImage CPreviewComposer::Compose(bool pal) const
{
    const CPlayerLayout layout;
    QImage window = m_reader.LoadSkinBitmap("MAIN", pal ? "PALSKIN" : "NTSKIN").convertToFormat(QImage::Format_RGB32);
    if (window.isNull())
        return window;
    QPainter painter(&window);
    // The logo is copied from its picture's top-left corner into its rectangle.
    const QRect logo = m_reader.LoadSkinRect(MAIN_POS, "POS_LOGO", false);
    painter.drawImage(logo.topLeft(), m_reader.LoadSkinBitmap("MAIN", "LOGO"), QRect(QPoint(0, 0), logo.size()));
    PaintTimePanel(painter);
    PaintClock(painter);
    PaintTiles(painter, pal);
    PaintButtons(painter, layout, pal);
    PaintValueFields(painter, pal);
    PaintSlider(painter, pal);
    painter.end();
    const int edge = CPlayerLayout::HIDDEN_EDGE;
    return window.copy(edge, edge, window.width() - edge, window.height() - edge);
}

void CPreviewComposer::PaintTimePanel(QPainter& painter) const
{
    painter.setFont(InfoFont());
    const auto rect = [&](const char* key) { return m_reader.LoadSkinRect(TIME_INFO, key, false); };
    const QColor ground = TIME_GROUND;
    PanelText(painter, rect("POS_S_DATE"), "DATE : 2024 / 03 / 18", TIME_TEXT, &ground);
    PanelText(painter, rect("POS_S_TIME"), "TIME : 14 : 00 : 00", TIME_TEXT, &ground);
    PanelText(painter, rect("POS_E_DATE"), "DATE : 2024 / 03 / 18", TIME_TEXT, &ground);
    PanelText(painter, rect("POS_E_TIME"), "TIME : 14 : 02 : 00", TIME_TEXT, &ground);
    PanelText(painter, rect("POS_S_TIME_TEXT"), "START TIME", TIME_CAPTION, nullptr);
    PanelText(painter, rect("POS_E_TIME_TEXT"), "END TIME", TIME_CAPTION, nullptr);
    PanelText(painter, rect("POS_CUR_PLAY_DATE"), "DATE : 2024 / 03 / 18", Qt::white, &ground);
    PanelText(painter, rect("POS_CUR_PLAY_TIME"), "TIME : 14 : 01 : 23", Qt::white, &ground);
}

// The player's clock: at y 76, the hour at x 796 and 805, colons at 815 and 841,
// minutes at 822 and 831, seconds at 848 and 857, the AM or PM sign at 870.
void CPreviewComposer::PaintClock(QPainter& painter) const
{
    const QImage strip = m_reader.LoadSkinBitmap("MAIN", "TIME");
    const auto copy = [&](int x, int stripX, int width) {
        painter.drawImage(QPoint(x, 76), strip, QRect(stripX, 0, width, CClockStrip::HEIGHT));
    };
    const auto digit = [&](int x, int d) { copy(x, CClockStrip::DIGIT_WIDTH * d, CClockStrip::DIGIT_WIDTH); };
    copy(870, CClockStrip::PM_X, CClockStrip::SIGN_WIDTH);
    digit(796, 0);
    digit(805, 2);
    copy(815, CClockStrip::COLON_X, 6);
    digit(822, 0);
    digit(831, 5);
    copy(841, CClockStrip::COLON_X, 6);
    digit(848, 0);
    digit(857, 9);
}

// No recording: the empty-tile picture stretched over each of the 4 x 4 tiles, and the
// tile borders along the four edges of every tile.
void CPreviewComposer::PaintTiles(QPainter& painter, bool pal) const
{
    const QImage overlay = m_reader.LoadSkinBitmap("MAIN", "OVERLAY");
    const QRect source = m_reader.LoadSkinRect(MAIN_POS, "POS_OVERLAY", false);
    const QPoint origin = m_reader.LoadSkinRect(MAIN_POS, "POS_OVERLAY_TERM", false).topLeft();
    const int w = 720 / 4;
    const int h = (pal ? 576 : 480) / 4;
    for (int i = 0; i < 16; ++i) {
        const QRect tile(origin.x() + (i % 4) * w, origin.y() + (i / 4) * h, w, h);
        painter.drawImage(tile, overlay, source);
        painter.fillRect(QRect(tile.left(), tile.top(), w + 1, 1), TILE_BORDER);
        painter.fillRect(QRect(tile.left(), tile.top() + h, w + 1, 1), TILE_BORDER);
        painter.fillRect(QRect(tile.left(), tile.top(), 1, h + 1), TILE_BORDER);
        painter.fillRect(QRect(tile.left() + w, tile.top(), 1, h + 1), TILE_BORDER);
    }
}

void CPreviewComposer::PaintButtons(QPainter& painter, const CPlayerLayout& layout, bool pal) const
{
    for (const CButtonDef& button : layout.Buttons()) {
        const QRect rect = m_reader.LoadSkinRect(button.positionSection, button.positionKey, pal && button.palFollows);
        const CButtonImageNames names = m_reader.ReadButtonImages(button.section, true);
        const QImage picture(names.m_names[size_t(DemoSlot(button))]);
        painter.drawImage(rect.topLeft(), picture, QRect(QPoint(0, 0), rect.size()));
    }
}

void CPreviewComposer::PaintValueFields(QPainter& painter, bool pal) const
{
    painter.setFont(FieldFont());
    const auto field = [&](const char* section, const char* key, bool follows, const QString& text) {
        const QRect rect = m_reader.LoadSkinRect(section, key, pal && follows);
        painter.fillRect(rect, FIELD_GROUND);
        painter.setPen(FIELD_TEXT);
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop, text);
    };
    field("MAIN POS", "POS_SPEED_VAL", false, " 2x ");
    field("MAIN POS", "POS_DELAY_VAL", false, "  1  ");
    field("CH POS", "POS_PAGE_VAL", true, "1");
}

void CPreviewComposer::PaintSlider(QPainter& painter, bool pal) const
{
    const QRect slider = m_reader.LoadSkinRect(MAIN_POS, "POS_SLIDE", pal);
    const QImage track = m_reader.LoadSkinBitmap("MAIN", "SLIDERDN");
    const QImage thumb = m_reader.LoadSkinBitmap("MAIN", "SLIDERUP");
    painter.drawImage(slider, track, QRect(0, 0, 8, 8));
    painter.drawImage(slider.topLeft() + QPoint(SLIDER_POS, 0), thumb, QRect(0, 0, 18, slider.height()));
}
