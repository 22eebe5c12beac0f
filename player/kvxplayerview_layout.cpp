// The player view's control layout: every control is bound to its skin pictures and
// placed at the rectangle the skin names for it. The controls below the video area
// move down by the PAL offset in the PAL layout.

#include "player/kvxplayerview.h"

#include "playback/playstate.h"
#include "player/audiocheckbox.h"
#include "player/controlids.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QLabel>

namespace {

constexpr int AUDIO_CONTROL_X = 6;
constexpr int AUDIO_CONTROL_WIDTH = 42;
constexpr int AUDIO_CONTROL_HEIGHT = 21;
constexpr int AUDIO_CAPTION_Y = 220; // the four check boxes follow, 21 pixels apart

constexpr const char* NAV_KEYS[7] = {"POS_START", "POS_RWPLAY", "POS_BPLAY", "POS_PAUSE", "POS_FPLAY", "POS_FFPLAY", "POS_END"};
constexpr const char* NAV_SECTIONS[7] = {"BTN_START", "BTN_RWPLAY", "BTN_BPLAY", "BTN_PAUSE", "BTN_FPLAY", "BTN_FFPLAY", "BTN_END"};
constexpr const char* LAMP_KEYS[7] = {"POS_STATE_START", "POS_STATE_RW", "POS_STATE_BP", "POS_STATE_PAUSE",
                                      "POS_STATE_FP", "POS_STATE_FF", "POS_STATE_END"};
constexpr const char* LAMP_SECTIONS[7] = {"STATE_START", "STATE_RW", "STATE_BP", "STATE_PAUSE", "STATE_FP", "STATE_FF", "STATE_END"};
constexpr const char* MAIN_KEYS[4] = {"POS_EXIT", "POS_OPEN", "POS_BACKUP", "POS_EDIT"};
constexpr const char* MAIN_SECTIONS[4] = {"BTN_EXIT", "BTN_OPEN", "BTN_BACKUP", "BTN_EDIT"};

std::string ChannelKey(int n)
{
    return "POS_CH" + std::to_string(n);
}

} // namespace

void CKVXPlayerView::SetupSkinButton(CSkinButton* button, const char* imageSection)
{
    const CButtonImageNames names = m_skin->ReadButtonImages(imageSection, true);
    button->LoadBitmaps(names.m_names[0], names.m_names[1], names.m_names[2], names.m_names[3],
                        unsigned(button->ControlId()));
    button->setEnabled(true);
}

void CKVXPlayerView::BindAndPlace(CSkinButton* button, const std::string& imageSection, const char* section,
                                  const std::string& key)
{
    SetupSkinButton(button, imageSection.c_str());
    PlaceControl(button, section, key, false);
}

void CKVXPlayerView::PlaceControl(QWidget* control, const char* section, const std::string& key, bool pal)
{
    control->setGeometry(m_skin->LoadSkinRect(section, key, pal));
    control->raise();
    control->show();
}

void CKVXPlayerView::PlaceSlider(bool pal)
{
    const QRect slide = m_skin->LoadSkinRect("MAIN POS", "POS_SLIDE", pal);
    CSkinSlider* slider = m_controls.m_slider;
    slider->MoveSlider(slide.x(), slide.y(), slide.width(), slide.height(), true);
    slider->raise();
    slider->show();
}

void CKVXPlayerView::LayoutSkinControls()
{
    LayoutMainButtons();
    LayoutModeButtons();
    LayoutNavigation();
    LayoutChannelButtons();

    LayoutValueFields();

    m_images.m_bmpSliderUp = m_skin->LoadSkinBitmap("MAIN", "SLIDERUP");
    m_images.m_bmpSliderDn = m_skin->LoadSkinBitmap("MAIN", "SLIDERDN");
    m_controls.m_slider->SetBitmaps(&m_images.m_bmpSliderUp, &m_images.m_bmpSliderDn);
    PlaceSlider(false);
}

void CKVXPlayerView::LayoutMainButtons()
{
    const std::array<CSkinButton*, 4> buttons = m_controls.MainButtons();
    for (size_t i = 0; i < buttons.size(); ++i)
        BindAndPlace(buttons[i], MAIN_SECTIONS[i], "MAIN POS", MAIN_KEYS[i]);
    m_controls.m_btnBackup->EnableButton(false);
    m_controls.m_btnEdit->EnableButton(false);

    const auto& boxes = m_controls.m_checkAudio;
    QWidget* audio[5] = {m_controls.m_staticAudio, boxes[0], boxes[1], boxes[2], boxes[3]};
    for (int i = 0; i < 5; ++i) {
        audio[i]->setFont(i == 0 ? m_images.m_fontForm : m_images.m_fontInfo); // the switches are drawn as the panel is
        audio[i]->setGeometry(AUDIO_CONTROL_X, AUDIO_CAPTION_Y + i * AUDIO_CONTROL_HEIGHT, AUDIO_CONTROL_WIDTH,
                              AUDIO_CONTROL_HEIGHT);
        audio[i]->raise();
        audio[i]->hide();
    }
    m_controls.m_ctrlSetting->setGeometry(0, 0, 0, 0); // a form control without a picture; only its tool tip is left
}

void CKVXPlayerView::LayoutModeButtons()
{
    for (size_t i = 0; i < m_controls.m_btnMode.size(); ++i) {
        const std::string tiles = std::to_string((i + 1) * (i + 1));
        BindAndPlace(m_controls.m_btnMode[i], "BTN_MODE" + tiles, "MODE POS", "POS_MODE" + tiles);
    }
}

void CKVXPlayerView::LayoutNavigation()
{
    const std::array<CSkinButton*, 7> nav = m_controls.Navigation();
    for (size_t i = 0; i < nav.size(); ++i)
        BindAndPlace(nav[i], NAV_SECTIONS[i], "NAVIGATION POS", NAV_KEYS[i]);
    for (size_t k = 0; k < nav.size(); ++k)
        BindAndPlace(m_controls.m_btnStateLamp[k], LAMP_SECTIONS[k], "NAVIGATION POS", LAMP_KEYS[k]);
    m_controls.SetStateLamp(7);
}

void CKVXPlayerView::LayoutChannelButtons()
{
    for (int n = 1; n <= 16; ++n)
        BindAndPlace(m_controls.m_btnChannel[size_t(n - 1)], "BTN_CH" + std::to_string(n), "CH POS", ChannelKey(n));
    m_controls.m_staticPage->setFont(m_images.m_fontForm);
    PlaceControl(m_controls.m_staticPage, "CH POS", "POS_PAGE_VAL", false);
    BindAndPlace(m_controls.m_btnPrevPage, "BTN_PREV_PAGE", "CH POS", "POS_PREV_PAGE");
    BindAndPlace(m_controls.m_btnNextPage, "BTN_NEXT_PAGE", "CH POS", "POS_NEXT_PAGE");
    ResetPageDisplay();
}

// The speed and delay steps with the fields that show them.
void CKVXPlayerView::LayoutValueFields()
{
    BindAndPlace(m_controls.m_btnSpeedUp, "BTN_SPEED_UP", "MAIN POS", "POS_SPEED_UP");
    BindAndPlace(m_controls.m_btnSpeedDn, "BTN_SPEED_DN", "MAIN POS", "POS_SPEED_DN");
    m_controls.m_staticSpeed->setFont(m_images.m_fontForm);
    m_controls.m_staticSpeed->setText(VALUE_TEXTS[m_session.SpeedIndex()]);
    PlaceControl(m_controls.m_staticSpeed, "MAIN POS", "POS_SPEED_VAL", false);
    BindAndPlace(m_controls.m_btnDelayUp, "BTN_DELAY_UP", "MAIN POS", "POS_DELAY_UP");
    BindAndPlace(m_controls.m_btnDelayDn, "BTN_DELAY_DN", "MAIN POS", "POS_DELAY_DN");
    m_controls.m_staticDelay->setFont(m_images.m_fontForm);
    m_controls.m_staticDelay->setText(VALUE_TEXTS[5 + m_session.DelayIndex()]);
    PlaceControl(m_controls.m_staticDelay, "MAIN POS", "POS_DELAY_VAL", false);
}

void CKVXPlayerView::ApplyVideoStandardLayout(bool pal)
{
    PlaceSlider(pal);
    for (int n = 1; n <= 16; ++n)
        PlaceControl(m_controls.m_btnChannel[size_t(n - 1)], "CH POS", ChannelKey(n), pal);
    PlaceControl(m_controls.m_staticPage, "CH POS", "POS_PAGE_VAL", pal);
    PlaceControl(m_controls.m_btnPrevPage, "CH POS", "POS_PREV_PAGE", pal);
    PlaceControl(m_controls.m_btnNextPage, "CH POS", "POS_NEXT_PAGE", pal);
    ResetPageDisplay();
    const std::array<CSkinButton*, 7> nav = m_controls.Navigation();
    for (size_t i = 0; i < nav.size(); ++i)
        PlaceControl(nav[i], "NAVIGATION POS", NAV_KEYS[i], pal);
    const std::array<CSkinButton*, 4> buttons = m_controls.MainButtons();
    for (size_t i = 0; i < buttons.size(); ++i)
        PlaceControl(buttons[i], "MAIN POS", MAIN_KEYS[i], pal);
}

// A recording opens with all its cameras in view.
int CKVXPlayerView::OpeningMode() const
{
    return ChannelCount() == 4 ? ctl::MODE4 : ctl::MODE16;
}

void CKVXPlayerView::ResetPageDisplay()
{
    m_nPage = 0;
    m_session.SetCurChannel(0);
    m_controls.m_staticPage->setText("1");
    ShowLitKeys();
    const bool open = !m_strFilePath.isEmpty();
    m_controls.m_btnPrevPage->EnableButton(false);
    m_controls.m_btnNextPage->EnableButton(open && LastPage(m_session.Grid()) > 0);
}

// --- navigation state ---

// The seven navigation buttons, in the order of ctl::NAVIGATION, and the slider with them.
void CKVXPlayerView::SetNavButtonsEnabled(const std::array<bool, 7>& enabled)
{
    const std::array<CSkinButton*, 7> nav = m_controls.Navigation();
    for (size_t i = 0; i < nav.size(); ++i)
        nav[i]->EnableButton(enabled[i]);
    // A recording whose end time is broken has no end to go to.
    if (!m_bEndAllowed)
        m_controls.m_btnEnd->EnableButton(false);
    m_controls.m_slider->setEnabled(true);
    ShowTransportAvailable();
}

void CKVXPlayerView::EnableNavButtons(bool enable)
{
    enable = enable && !m_strFilePath.isEmpty();
    SetNavButtonsEnabled({enable, enable, enable, enable, enable, enable, enable});
    m_controls.m_slider->setEnabled(enable);
}
