#pragma once

#include "tests/support/recordingfixture.h"

#include <QString>
#include <QStringList>

#include <cstdint>

#include <memory>

class CBackupDlg;
class CKVXPlayerView;
class CMainFrame;
class CPlayerFixture;
class QWidget;
struct CRecordingRecipe;

// The export panel driven through the real player window: a skin with the panel's
// part, the recordings it exports, and the folders its button would have opened
// (no file manager is started by a test).
class CBackupPanelFixture {
public:
    // A frame on a new recording, paused on its first group.
    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, int channels = 16, int records = 64);
    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const CRecordingRecipe& recipe, QString& path);

    CBackupDlg* OpenPanel(CKVXPlayerView* view);
    static void StartExport(CBackupDlg* dialog, int channelIndex);
    // A stopped export is completed on a worker: until its log, note and sums are
    // written and its message, if any, is shown.
    static void WaitForCompletion(CKVXPlayerView* view);
    static void Click(QWidget* control);
    // The window paused on the record at `offset`, as go-to leaves it.
    static void ShowRecord(CKVXPlayerView* view, uint64_t offset);

    QStringList m_shownFolders;
    CRecordingFixture m_recordings;
};
