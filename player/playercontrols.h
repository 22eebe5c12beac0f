#pragma once

#include <array>
#include <functional>

class CAudioCheckBox;
class CSkinButton;
class CSkinSlider;
class QLabel;
class QWidget;

// The skin controls of the player window: its buttons and lamps, the value fields,
// the audio switches and the position slider. They are children of the view, which
// frees them; this only knows them by what they do. Each exists with its control ID
// from creation, unplaced and hidden, until the view's layout binds and places it.
//
// Threads: window thread only.
class CPlayerControls {
public:
    // Creates every control as a child of `view`; a click on one reports its
    // control ID to `command`, on the window thread.
    void Create(QWidget* view, const std::function<void(int)>& command);

    // The navigation buttons in the order of ctl::NAVIGATION.
    std::array<CSkinButton*, 7> Navigation() const;
    // Exit, open, backup and edit.
    std::array<CSkinButton*, 4> MainButtons() const;
    // Lights lamp `lamp` (the order of ctl::NAVIGATION) alone; 7 leaves all dark.
    void SetStateLamp(int lamp);

    CSkinSlider* m_slider = nullptr;
    CSkinButton *m_btnExit = nullptr, *m_btnOpen = nullptr, *m_btnBackup = nullptr, *m_btnEdit = nullptr;
    std::array<CSkinButton*, 7> m_btnStateLamp{};
    CSkinButton *m_btnStart = nullptr, *m_btnRwPlay = nullptr, *m_btnBPlay = nullptr, *m_btnPause = nullptr,
                *m_btnFPlay = nullptr, *m_btnFFPlay = nullptr, *m_btnEnd = nullptr;
    std::array<CSkinButton*, 4> m_btnMode{}; // in the order of ctl::MODES
    CSkinButton *m_btnSpeedUp = nullptr, *m_btnSpeedDn = nullptr, *m_btnDelayUp = nullptr, *m_btnDelayDn = nullptr;
    std::array<CSkinButton*, 16> m_btnChannel{};
    CSkinButton *m_btnPrevPage = nullptr, *m_btnNextPage = nullptr;
    CSkinButton* m_ctrlSetting = nullptr; // a plain form control with a tool tip only
    QLabel *m_staticDelay = nullptr, *m_staticSpeed = nullptr, *m_staticPage = nullptr, *m_staticAudio = nullptr;
    std::array<CAudioCheckBox*, 4> m_checkAudio{};

private:
    void CreateButtons(QWidget* view, const std::function<void(int)>& command);
    void CreateFields(QWidget* view, const std::function<void(int)>& command);
};
