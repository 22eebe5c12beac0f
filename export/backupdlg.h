#pragma once

#include "export/backupsetting.h"

#include <QDialog>
#include <QImage>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>

class CSkinButton;
class CSkinReader;
class IBackupOwner;
class QComboBox;
class QLabel;

// Control IDs of the backup window.
namespace backupctl {
inline constexpr int START = 1039, CHANNEL = 1040, FRAMERATE = 1041, IMAGESIZE = 1042, STOP = 1043;
}

// The small skinned panel over the player in which the user picks the channel, the
// frame rate and the picture size of an AVI export, and starts and stops it. It is
// borderless and modeless; the player opens and hides it and keeps it for the next
// opening. While an export runs it shows the file's name and its frames so far.
//
// Window thread only. It fills the player's BACKUPSETTING through the pointer that
// Prepare hands over.
class CBackupDlg : public QDialog {
    Q_OBJECT

public:
    using FolderOpener = std::function<void(const QString& folder)>;

    // Reads the skin of `iniPath`; exports are shown from `exportFolder` when they stop.
    CBackupDlg(const QString& appFolder, const QString& iniPath, const QString& appTitle,
               const QString& exportFolder, IBackupOwner& owner, QWidget* parent);
    ~CBackupDlg() override;

    // Resets the window for a new opening: idle, default selections, the channel
    // list of `setting`'s channel count.
    void Prepare(BACKUPSETTING* setting);
    // Start (1039) and stop (1043). Stopping when no export started here runs does
    // nothing, so the player may call it whenever it pauses or closes the window.
    void OnStart();
    void OnStop();
    // An export that could not start: back to idle without stopping anything.
    void ReturnToIdle();

    bool IsStopped() const { return m_bStopped; }
    // Replaces how the export folder is shown (the desktop's file manager); for tests.
    void SetFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }

    QComboBox* ChannelBox() const { return m_comboChannel; }
    QComboBox* FrameRateBox() const { return m_comboFrameRate; }
    QComboBox* SizeBox() const { return m_comboSize; }
    CSkinButton* StartButton() const { return m_btnStart; }
    CSkinButton* StopButton() const { return m_btnStop; }
    QLabel* ProgressLabel() const { return m_staticProgress; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnInitDialog();
    CSkinButton* SetupSkinButton(int id, const char* imageSection, const char* key);
    QComboBox* MakeBox(int id, const QStringList& items);
    QLabel* MakeProgressLabel();
    void OnCommand(int id);
    void SetExporting(bool exporting);
    void UpdateProgress();

    const QString m_strAppTitle;
    const QString m_strExportFolder;
    IBackupOwner& m_owner;
    std::unique_ptr<CSkinReader> m_skin;
    QImage m_bmpSkin;
    QRect m_rcSkin;
    QComboBox *m_comboChannel = nullptr, *m_comboFrameRate = nullptr, *m_comboSize = nullptr;
    CSkinButton *m_btnStart = nullptr, *m_btnStop = nullptr;
    QLabel* m_staticProgress = nullptr;
    QTimer m_timerProgress;
    bool m_bStopped = true;
    BACKUPSETTING* m_pSetting = nullptr;
    FolderOpener m_openFolder;
};
