#pragma once

#include "platform/bitmapinfoheader.h"
#include "snapshot/filtercommand.h"
#include "snapshot/imagefilter.h"
#include "snapshot/snapshotinfo.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

class CSkinButton;
class CSkinReader;
class CStillSaver;
class QCheckBox;

// The snapshot editor: a skinned window without caption, of the player window's size
// and centred on the screen, that shows one still picture with its recording date
// and time, its size and the last command, and lets the user brighten, darken,
// sharpen, blur, despeckle and spread its contrast, undo those steps, save it as a
// JPEG and print it. When the recording has privacy masks for the camera at the
// picture's moment, "apply masks" (ticked) hides them under the texts in what it shows,
// saves (a _redacted still) and prints. The player creates it once, reuses it for every snapshot, and
// hides itself while it shows. Window thread only.
class CImageEditDlg : public QWidget {
    Q_OBJECT

public:
    // How many filter steps Ctrl+Z takes back.
    static constexpr size_t UNDO_STEPS = 32;

    // `appTitle` is the caption of the messages the editor shows.
    explicit CImageEditDlg(QString appTitle);
    ~CImageEditDlg() override;

    // Once, after construction: the program folder (with its trailing slash) and the
    // skin description, from which the backgrounds, buttons and positions come, and
    // the folder that saved pictures go to.
    void Initialise(const QString& appFolder, const QString& iniPath, const QString& backupFolder);
    // For each snapshot: the video standard of the picture, the size of the player
    // window, and what the player knows of the picture.
    void LayoutForSnapshot(bool pal, QSize playerSize, const SNAPSHOTINFO& info);
    void SetPictureHeader(const BITMAPINFOHEADER& header);
    // Takes the captured bitmap as the working picture; every earlier step is gone.
    // A block that is no bitmap leaves the editor without a picture: the user is told
    // which picture could not be opened and why, and false says not to show it. `textLayer` holds
    // the capture's tile texts (date-time, camera number), transparent elsewhere and
    // of the picture's size: the filters work on the picture only, and the texts are
    // drawn over it wherever it shows, is saved or printed, as the capture showed
    // them, so that no step makes the evidence text harder to read. A null layer
    // draws nothing.
    bool LoadSnapshot(CBitmapBlock bitmap, QImage textLayer);

    // The command dispatch of the buttons and keys: a picture command runs its
    // filter once and repaints.
    void OnCommand(int id);

    // What a test wants to know.
    const QString& CommandText() const { return m_strCommand; }
    bool IsPictureLoaded() const { return m_bPictureLoaded; }
    QRect PictureRect() const { return m_rcPicture; }
    bool IsSaveOkShown() const { return m_bSaveOkShown; }
    // "SAVED 20240318_140110.jpg" after a save of this snapshot (followed by
    // ", NOT SIGNED: " and the reason when its sums could not be signed), else empty.
    const QString& SavedText() const { return m_strSaved; }
    // "STEPS : BRIGHT, SHARPEN", or "STEPS : NONE".
    QString StepsText() const;
    // Where saves go: the Backup folder, or the one the user chose when it failed.
    const QString& SaveFolder() const;
    CSkinButton* Button(int id) const;
    QCheckBox* MasksBox() const { return m_checkMasks; }
    bool AppliesMasks() const;
    // The working picture, top-down, without the tile texts; null without one.
    QImage WorkingPicture() const;
    // The picture area as the editor shows it, which print takes.
    QImage PictureArea() const;
    // The working picture with the masks, when applied, and the tile texts over it, at
    // its own size, which save takes.
    QImage ComposedPicture() const;

signals:
    // The editor has closed; the player shows its window again.
    void closed();
    // Ctrl+Q: the user ends the program from the editor.
    void quitWanted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateButtons();
    void CreateMasksBox();
    void PlaceMasksBox(bool pal);
    bool HasMasksAtSnapshot() const;
    void ApplyToolTips(bool on);
    void PlaceButton(int id, const char* key, bool pal);
    void RunFilter(const CFilterCommand& command);
    void PushUndo(CBitmapBlock picture);
    void Undo();
    void RevertToCaptured();
    void SaveSnapshot();
    void PrintSnapshot();
    void ShowSaveOk();
    void ShowUnsigned(const QString& path, const QString& reason);
    void OnClose();
    void DrawTexts(QPainter& painter) const;
    void DrawPlainLines(QPainter& painter) const;
    void TakeKeyboard();

    const QString m_strAppTitle;
    std::unique_ptr<CSkinReader> m_skin;
    std::unique_ptr<CStillSaver> m_saver;

    // Skin.
    QImage m_bmpNtSkin, m_bmpPalSkin;
    const QImage* m_pBackground = nullptr;
    QSize m_sizeBackground;
    QPoint m_ptPicture;
    QRect m_rcPicture;
    QRect m_rcRecDateTimeTxt, m_rcRecDate, m_rcRecTime, m_rcImgSizeTxt, m_rcImgWidth, m_rcImgHeight;
    QRect m_rcCommandTxt, m_rcCommand, m_rcSaveOk;
    QFont m_fontText;
    std::vector<CSkinButton*> m_buttons; // children of the dialog
    QCheckBox* m_checkMasks = nullptr;    // a child of the dialog
    QString m_strPictureTip;

    // The snapshot.
    bool m_bPal = false;
    SNAPSHOTINFO m_info;
    QString m_strDate, m_strTime;
    BITMAPINFOHEADER m_bih{};

    // The working picture with the filter steps that made it from the captured one
    // ("BRIGHT", "SHARPEN", ...; a saved still names them), the captured picture, and
    // the steps that Ctrl+Z takes back.
    struct CUndoStep {
        CBitmapBlock m_picture;
        QStringList m_filters;
    };
    CImageFilter m_filter;
    CBitmapBlock m_pPicture;
    QStringList m_filters;
    CBitmapBlock m_captured;
    QImage m_textLayer;
    std::vector<CUndoStep> m_undo;
    bool m_bPictureLoaded = false;
    QString m_strCommand;

    QString m_strSaved; // "SAVED <file name>[, NOT SIGNED: <reason>]" once this snapshot was saved
    bool m_bSaveOkShown = false;
    QTimer m_timerSaveOk;
};
