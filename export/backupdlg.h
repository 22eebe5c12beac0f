#pragma once

#include "export/backupsetting.h"
#include "export/exportoptions.h"

#include <QDialog>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QVector>

#include <memory>

class CExportOutcomeLine;
class CSkinButton;
class CSkinReader;
class IBackupOwner;
class QCheckBox;
class QComboBox;
class QLabel;

// Control IDs of the backup window.
namespace backupctl {
inline constexpr int START = 1039, CHANNEL = 1040, FRAMERATE = 1041, IMAGESIZE = 1042, STOP = 1043, FORMAT = 1044;
}

// The small skinned panel over the player in which the user picks the channel, the
// frame rate, the picture size and the format of an export, and starts and stops it.
// It is borderless and modeless; the player opens and hides it and keeps it for the
// next opening. While an export runs it shows the file's name and its frames so far;
// once it is completed, where it was saved and how many frames it holds, with a
// button that shows the folder. Start, stop and a choice made in a box give the
// keyboard back to the player, so that its keys act on the player and not on a box.
// An MP4 is timed by the recorder's clock, so the frame rate is off for it. When the
// player knows the cameras' own rates, the chosen camera's is preselected and shown
// beside the rate box, so that an AVI plays at real speed. "apply masks" asks for a
// redacted copy; it can be ticked only while the recording has masks.
//
// Window thread only. It fills the player's BACKUPSETTING through the pointer that
// Prepare hands over.
class CBackupDlg : public QDialog {
    Q_OBJECT

public:
    // Reads the skin of `iniPath`.
    CBackupDlg(const QString& appFolder, const QString& iniPath, const QString& appTitle, IBackupOwner& owner,
               QWidget* parent);
    ~CBackupDlg() override;

    // Resets the window for a new opening: idle, default selections, the channel
    // list of `setting`'s channel count; a PAL recording is also offered its own
    // picture sizes, 352 x 288 and 720 x 576.
    void Prepare(BACKUPSETTING* setting, bool pal = false);
    // Start (1039) and stop (1043). Stopping when no export started here runs does
    // nothing, so the player may call it whenever it pauses or closes the window.
    void OnStart();
    void OnStop();
    // An export that could not start: back to idle without stopping anything.
    void ReturnToIdle();
    // By camera (from 0): its own rate, or 0 when it has none to offer. Until the next
    // Prepare; the rate box follows the chosen camera while no export runs.
    void SetCameraRates(const QVector<int>& rates);
    EExportFormat Format() const;
    // The marked range the next export is limited to ("14:01:10 – 14:01:55"), shown
    // in the rate text's row; empty: the export records what plays.
    void SetRangeText(const QString& range);
    // Whether the open recording has privacy masks (or mute ranges) to apply: without,
    // the box is off and says why; with, it is ticked until the user unticks it.
    void SetMasksAvailable(bool available);
    bool AppliesMasks() const;

    bool IsStopped() const { return m_bStopped; }
    // The stopped export `fileName` is being completed; then it is, holding `frames`
    // frames, or was cut short (`complete` false), or is unsigned for the reason given.
    // Shown until the next start or opening.
    void ShowSaving(const QString& fileName);
    void ShowCompleted(const QString& path, uint32_t frames, bool complete, const QString& unsignedReason = {});
    CExportOutcomeLine* OutcomeLine() const { return m_outcome; }

    QComboBox* ChannelBox() const { return m_comboChannel; }
    QComboBox* FrameRateBox() const { return m_comboFrameRate; }
    QComboBox* SizeBox() const { return m_comboSize; }
    QComboBox* FormatBox() const { return m_comboFormat; }
    QLabel* RateLabel() const { return m_staticRate; }
    QCheckBox* MasksBox() const { return m_checkMasks; }
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
    QLabel* MakeRateLabel();
    QCheckBox* MakeMasksBox();
    QColor SkinColourAt(QPoint point) const;
    void PlaceNewControls();
    void OnFormatChanged();
    void ShowCameraRate();
    void OnCommand(int id);
    void SetExporting(bool exporting);
    void UpdateProgress();

    const QString m_strAppTitle;
    IBackupOwner& m_owner;
    std::unique_ptr<CSkinReader> m_skin;
    QImage m_bmpSkin;
    QRect m_rcSkin;
    QComboBox *m_comboChannel = nullptr, *m_comboFrameRate = nullptr, *m_comboSize = nullptr;
    QComboBox* m_comboFormat = nullptr;
    QCheckBox* m_checkMasks = nullptr;
    bool m_bMasksAvailable = false;
    QLabel* m_staticRate = nullptr;
    QVector<int> m_cameraRates;
    bool m_bRatesPending = false; // arrived while an export ran
    QString m_strRange;
    CSkinButton *m_btnStart = nullptr, *m_btnStop = nullptr;
    QLabel* m_staticProgress = nullptr;
    CExportOutcomeLine* m_outcome = nullptr; // in the rate text's row, which it hides
    QTimer m_timerProgress;
    bool m_bStopped = true;
    BACKUPSETTING* m_pSetting = nullptr;
};
