#include "player/playercontrols.h"

#include "player/audiocheckbox.h"
#include "player/controlids.h"
#include "player/panelcolours.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QLabel>

void CPlayerControls::Create(QWidget* view, const std::function<void(int)>& command)
{
    CreateButtons(view, command);
    CreateFields(view, command);
    m_slider = new CSkinSlider(ctl::SLIDER, view);
    m_slider->hide();
    QObject::connect(m_slider, &CSkinSlider::clicked, view, command);
}

// In the order of the player form, which is the order the controls stack in.
void CPlayerControls::CreateButtons(QWidget* view, const std::function<void(int)>& command)
{
    auto button = [&](int id) {
        auto* b = new CSkinButton(id, view);
        b->hide();
        QObject::connect(b, &CSkinButton::clicked, view, command);
        return b;
    };
    m_btnExit = button(ctl::EXIT);
    m_btnOpen = button(ctl::OPEN);
    m_btnBackup = button(ctl::BACKUP);
    m_btnEdit = button(ctl::EDIT);
    for (int k = 0; k < 7; ++k)
        m_btnStateLamp[size_t(k)] = button(ctl::LAMP_FIRST + k);
    m_btnEnd = button(ctl::END);
    m_btnFFPlay = button(ctl::FFPLAY);
    m_btnFPlay = button(ctl::FPLAY);
    m_btnPause = button(ctl::PAUSE);
    m_btnBPlay = button(ctl::BPLAY);
    m_btnRwPlay = button(ctl::RWPLAY);
    m_btnStart = button(ctl::START);
    for (size_t i = 0; i < m_btnMode.size(); ++i)
        m_btnMode[i] = button(ctl::MODES[i]);
    m_btnSpeedUp = button(ctl::SPEED_UP);
    m_btnSpeedDn = button(ctl::SPEED_DN);
    m_btnDelayUp = button(ctl::DELAY_UP);
    m_btnDelayDn = button(ctl::DELAY_DN);
    for (int n = 0; n < 16; ++n)
        m_btnChannel[size_t(n)] = button(ctl::CHANNEL_FIRST + n);
    m_btnPrevPage = button(ctl::PREV_PAGE);
    m_btnNextPage = button(ctl::NEXT_PAGE);
    m_ctrlSetting = button(ctl::SETTING);
}

void CPlayerControls::CreateFields(QWidget* view, const std::function<void(int)>& command)
{
    auto label = [view](const QString& text, int id) {
        auto* l = new QLabel(text, view);
        l->setProperty("controlId", id);
        l->setAutoFillBackground(true);
        QPalette palette = l->palette(); // the static controls' colours
        palette.setColor(QPalette::Window, panel::FIELD_GROUND);
        palette.setColor(QPalette::WindowText, panel::FIELD_TEXT);
        l->setPalette(palette);
        l->hide();
        return l;
    };
    m_staticDelay = label("Static", ctl::DELAY_VAL);
    m_staticSpeed = label("Static", ctl::SPEED_VAL);
    m_staticPage = label("Static", ctl::PAGE_VAL);
    m_staticAudio = label("Audio", ctl::AUDIO_CAPTION);
    static const char* const audioTexts[4] = {"1", "2", "3", "4"};
    for (size_t i = 0; i < m_checkAudio.size(); ++i) {
        auto* box = new CAudioCheckBox(ctl::AUDIO_IDS[i], audioTexts[i], view);
        box->hide();
        QObject::connect(box, &QCheckBox::clicked, view, [command, id = ctl::AUDIO_IDS[i]] { command(id); });
        m_checkAudio[i] = box;
    }
}

std::array<CSkinButton*, 7> CPlayerControls::Navigation() const
{
    return {m_btnStart, m_btnRwPlay, m_btnBPlay, m_btnPause, m_btnFPlay, m_btnFFPlay, m_btnEnd};
}

std::array<CSkinButton*, 4> CPlayerControls::MainButtons() const
{
    return {m_btnExit, m_btnOpen, m_btnBackup, m_btnEdit};
}

void CPlayerControls::SetStateLamp(int lamp)
{
    for (size_t k = 0; k < m_btnStateLamp.size(); ++k)
        m_btnStateLamp[k]->EnableButton(int(k) == lamp);
}
