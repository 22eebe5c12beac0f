#include "platform/folderdialog.h"
#include "platform/messagebox.h"
#include "platform/printdialog.h"
#include "skin/skinbutton.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/imageeditdlg.h"
#include "snapshot/snapshotbitmap.h"
#include "tests/support/editskin.h"
#include "tests/support/exiftags.h"
#include "tests/support/plantedlink.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QColor PICTURE_COLOUR(40, 160, 40);
const CDateTime SHOT_TIME(2024, 3, 18, 14, 0, 3);

// Every text on a printed page with the top-left corner of its box, in points.
struct CWord {
    QString text;
    QPointF at;
};

QList<CWord> WordsOf(const QString& pdf)
{
    QProcess process;
    process.start("pdftotext", {"-bbox", pdf, "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(pdf));
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression word(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re");
    QList<CWord> words;
    for (const QRegularExpressionMatch& m : word.globalMatch(html))
        words.append({m.captured(3), QPointF(m.captured(1).toDouble(), m.captured(2).toDouble())});
    return words;
}

// The page at 72 pixels an inch, one pixel a point.
QImage PageImage(const QString& pdf)
{
    const QString prefix = pdf + "-page";
    if (QProcess::execute("pdftoppm", {"-r", "72", "-png", "-singlefile", pdf, prefix}) != 0)
        qFatal("pdftoppm failed on %s", qPrintable(pdf));
    return QImage(prefix + ".png");
}

QRect BoxOfColour(const QImage& image, const QColor& colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                    + std::abs(c.blue() - colour.blue()) < 30)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

// A picture with grain in every colour, which each filter changes.
QImage GrainyPicture()
{
    QImage picture(720, 480, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int grain = (x * 7919 + y * 104729) % 97;
            picture.setPixel(x, y, qRgb(60 + grain, 150 - grain / 2, 40 + grain * 2));
        }
    return picture;
}

// Tile texts as the capture draws them: light text on transparency.
QImage TextLayer(QSize size)
{
    QImage layer(size, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter painter(&layer);
    QFont font("Arial");
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(240, 240, 240));
    painter.drawText(QPoint(20, 50), "2024/03/18 14:00:03");
    painter.drawText(QPoint(640, 460), "05");
    return layer;
}

QImage Composed(const QImage& picture, const QImage& layer)
{
    QImage composed = picture.convertToFormat(QImage::Format_RGB32);
    QPainter(&composed).drawImage(QPoint(0, 0), layer);
    return composed;
}

// A point of the text whose neighbours are text too: a JPEG keeps its colour.
QPoint OpaqueInterior(const QImage& layer)
{
    for (int y = 1; y < layer.height() - 1; ++y)
        for (int x = 1; x < layer.width() - 1; ++x) {
            bool inside = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    inside = inside && qAlpha(layer.pixel(x + dx, y + dy)) == 255;
            if (inside)
                return QPoint(x, y);
        }
    qFatal("the text has no inside");
}

// The pixels of `shown` (the picture shown from one pixel in) that differ from
// `captured` where the text layer is opaque.
int TextPixelsChanged(const QImage& shown, const QImage& captured, const QImage& layer)
{
    int changed = 0;
    for (int y = 0; y < layer.height() - 2; ++y)
        for (int x = 0; x < layer.width() - 2; ++x)
            if (qAlpha(layer.pixel(x, y)) == 255 && shown.pixel(x + 1, y + 1) != captured.pixel(x, y))
                ++changed;
    return changed;
}

} // namespace

class TestImageEditDlg : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CImageEditDlg> m_dlg;
    QStringList m_messages;
    CMessageBox::Handler m_previousBox;
    CPrintDialog::Handler m_previousPrint;
    CFolderDialog::Handler m_previousFolder;
    int m_foldersAsked = 0;
    QStringList m_folderAnswers; // the folder dialog's answers in turn; cancelled after them
    int m_nResolution = 0, m_nPageWidth = 0; // of the printer the last print went to
    QString m_strSuggestedName;               // the document's name as the print dialog saw it

    QString Folder() const { return m_dir->path() + "/"; }
    QString Backup() const { return Folder() + "Backup"; }

    // A snapshot of one colour, with a white pixel at the top-left corner, handed over
    // as the player hands it over.
    void Open(bool pal)
    {
        QImage picture(720, pal ? 576 : 480, QImage::Format_RGB32);
        picture.fill(PICTURE_COLOUR);
        picture.setPixelColor(0, 0, Qt::white);
        Open(picture, QImage());
    }
    void Open(const QImage& picture, const QImage& textLayer)
    {
        const bool pal = picture.height() == 576;
        SNAPSHOTINFO info;
        info.m_nChannel = 4;
        info.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        info.m_timeEnd = CDateTime(2024, 3, 18, 14, 2, 0);
        info.m_timeSnapshot = SHOT_TIME;
        info.m_strRecordingPath = "/media/disc/incident 7.kvx";
        m_dlg->LayoutForSnapshot(pal, QSize(1000, pal ? 741 : 640), info);
        m_dlg->SetPictureHeader(CSnapshotBitmap::HeaderFor(720, picture.height()));
        m_dlg->LoadSnapshot(CSnapshotBitmap::BitmapOf(picture), textLayer);
        m_dlg->show();
    }

    QColor Shown(QPoint at) const { return m_dlg->WorkingPicture().pixelColor(at); }

    // Prints through the editor's own printing, the dialog answered with a PDF file on A4.
    QString PrintToPdf()
    {
        const QString pdf = m_dir->filePath("page.pdf");
        CPrintDialog::SetHandler([pdf, this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageSize(QPageSize(QPageSize::A4));
            m_nResolution = printer.resolution();
            m_nPageWidth = printer.pageLayout().fullRectPixels(m_nResolution).width();
            m_strSuggestedName = printer.docName();
            return true;
        });
        m_dlg->OnCommand(editctl::PRINT);
        return pdf;
    }

private slots:
    void initTestCase()
    {
        m_previousBox = CMessageBox::SetHandler([this](const QString& caption, const QString& text) {
            m_messages << caption + "|" + text;
        });
        m_previousPrint = CPrintDialog::SetHandler({});
        m_previousFolder = CFolderDialog::SetHandler([this](const QString&, const QString&) {
            ++m_foldersAsked;
            return m_folderAnswers.isEmpty() ? QString() : m_folderAnswers.takeFirst();
        });
    }
    void cleanupTestCase()
    {
        CMessageBox::SetHandler(m_previousBox);
        CPrintDialog::SetHandler(m_previousPrint);
        CFolderDialog::SetHandler(m_previousFolder);
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir(Folder()).mkdir("Backup");
        QFile ini(Folder() + "res.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write((editskin::Write(Folder()) + "[INFO]\nTOOLTIP_ON=1\n").toUtf8());
        ini.close();
        m_dlg = std::make_unique<CImageEditDlg>("KVXPlayer");
        m_dlg->Initialise(Folder(), Folder() + "res.ini", Backup() + "/");
        m_messages.clear();
        m_foldersAsked = 0;
        m_folderAnswers.clear();
    }
    void cleanup()
    {
        m_dlg.reset();
        m_dir.reset();
    }

    // A press runs its filter once, however often the window paints afterwards.
    void commandsFilterOnceAndUndo()
    {
        QCOMPARE(m_dlg->CommandText(), QString("NONE"));
        m_dlg->OnCommand(editctl::BRIGHT); // no picture yet: only the text changes
        QCOMPARE(m_dlg->CommandText(), QString("BRIGHT                         "));
        Open(false);
        QCOMPARE(m_dlg->CommandText(), QString("NONE"));
        QCOMPARE(Shown({5, 5}), PICTURE_COLOUR);

        QTest::mouseClick(m_dlg->Button(editctl::BRIGHT), Qt::LeftButton, {}, QPoint(2, 2));
        QCoreApplication::processEvents();
        m_dlg->repaint();
        m_dlg->grab();
        QCOMPARE(Shown({5, 5}), QColor(50, 170, 50));
        m_dlg->OnCommand(editctl::CONTRAST_UP);
        QCOMPARE(m_dlg->CommandText(), QString("DESPECKLE                       "));
        m_dlg->OnCommand(editctl::CONTRAST_DN);
        QCOMPARE(m_dlg->CommandText(), QString("CONTRAST UP                "));
        QCOMPARE(Shown({5, 5}), QColor(44, 173, 44)); // spread from 128: (50 - 128) x 10 / 128 = -6, 42 x 10 / 128 = 3

        QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Shown({5, 5}), QColor(50, 170, 50)); // the contrast step taken back
        QTest::keyClick(m_dlg.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(Shown({5, 5}), PICTURE_COLOUR); // as captured
        QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Shown({5, 5}), QColor(50, 170, 50)); // going back was a step too
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Shown({5, 5}), PICTURE_COLOUR); // never past the captured picture

        QVERIFY(m_dlg->Button(editctl::SAVE)->toolTip().contains("Ctrl+S"));
        QVERIFY(m_dlg->Button(editctl::CONTRAST_UP)->toolTip().startsWith("Despeckle"));
        QVERIFY(m_dlg->Button(editctl::CONTRAST_DN)->toolTip().startsWith("Contrast up"));
    }

    // The picture is shown from one pixel in, framed by the background; PAL moves
    // save, print and close down by 96 and takes the PAL background.
    void layoutFollowsTheVideoStandard()
    {
        Open(false);
        const QRect save = m_dlg->Button(editctl::SAVE)->geometry();
        QCOMPARE(save, editskin::SAVE_RECT);
        QCOMPARE(m_dlg->PictureRect(), QRect(editskin::PICTURE_ORIGIN, QSize(720, 480)));
        QImage area = m_dlg->PictureArea();
        QCOMPARE(area.pixelColor(0, 0), editskin::NTSC_GROUND);
        QCOMPARE(area.pixelColor(1, 1), QColor(Qt::white));
        QCOMPARE(area.pixelColor(2, 2), PICTURE_COLOUR);
        QCOMPARE(area.pixelColor(719, 479), editskin::NTSC_GROUND);

        m_dlg->OnCommand(editctl::CLOSE);
        Open(true);
        QCOMPARE(m_dlg->Button(editctl::SAVE)->geometry(), save.translated(0, 96));
        QCOMPARE(m_dlg->Button(editctl::BRIGHT)->geometry().y(), 300); // the column stays
        QCOMPARE(m_dlg->PictureRect().height(), 576);
        area = m_dlg->PictureArea();
        QCOMPARE(area.pixelColor(0, 0), editskin::PAL_GROUND);
        QCOMPARE(area.pixelColor(700, 570), PICTURE_COLOUR);
    }

    // The saved file shows the steps taken; the confirmation goes after about a
    // second while the window goes on working. A PAL picture keeps its 576 lines.
    void saveShowsTheFiltersAndConfirms()
    {
        Open(true);
        m_dlg->OnCommand(editctl::BRIGHT);
        QTest::keyClick(m_dlg.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_dlg->CommandText().trimmed(), QString("SAVE"));
        QVERIFY(m_dlg->IsSaveOkShown());
        const QImage saved(Backup() + "/20240318_140003.jpg");
        QCOMPARE(saved.size(), QSize(720, 576));
        const QColor centre = saved.pixelColor(360, 300);
        QVERIFY(std::abs(centre.green() - 170) < 6 && std::abs(centre.red() - 50) < 6);
        m_dlg->OnCommand(editctl::DARK); // not blocked by the confirmation
        QCOMPARE(m_dlg->CommandText().trimmed(), QString("DARK"));
        QVERIFY(QTest::qWaitFor([this] { return !m_dlg->IsSaveOkShown(); }, 3000));
        m_dlg->OnCommand(editctl::SAVE);
        QVERIFY(QFile::exists(Backup() + "/20240318_140003(1).jpg"));
        QVERIFY(m_messages.isEmpty());
    }

    // A saved still carries its recording time, camera and source, and the filter
    // steps that made it, in order: steps taken back are not named, and going back to
    // the captured picture starts the list afresh.
    void savedStillsNameTheirSteps()
    {
        Open(false);
        const auto saveAndDescribe = [this](const char* name) {
            m_dlg->OnCommand(editctl::SAVE);
            return ExifTags(Backup() + "/" + name);
        };
        m_dlg->OnCommand(editctl::BRIGHT);
        m_dlg->OnCommand(editctl::SHARPEN);
        m_dlg->OnCommand(editctl::DARK);
        QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        const QJsonObject first = saveAndDescribe("20240318_140003.jpg");
        QCOMPARE(first["ImageDescription"].toString(),
                 QString("Camera 05; recording incident 7.kvx; filters BRIGHT, SHARPEN"));
        QCOMPARE(first["DateTimeOriginal"].toString(), QString("2024:03:18 14:00:03"));
        QVERIFY(first["Software"].toString().startsWith("KVXPlayer "));

        QTest::keyClick(m_dlg.get(), Qt::Key_R, Qt::ControlModifier);
        m_dlg->OnCommand(editctl::CONTRAST_UP); // the button that despeckles
        QCOMPARE(saveAndDescribe("20240318_140003(1).jpg")["ImageDescription"].toString(),
                 QString("Camera 05; recording incident 7.kvx; filters DESPECKLE"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(saveAndDescribe("20240318_140003(2).jpg")["ImageDescription"].toString(),
                 QString("Camera 05; recording incident 7.kvx; filters none"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier); // takes back going to the captured one
        QCOMPARE(saveAndDescribe("20240318_140003(3).jpg")["ImageDescription"].toString(),
                 QString("Camera 05; recording incident 7.kvx; filters BRIGHT, SHARPEN"));
    }

    // Every filter works on the picture only: the tile texts show, save and print as
    // captured, however often it runs; the picture under them does change.
    void filtersLeaveTheTileTextsAsCaptured()
    {
        const QImage picture = GrainyPicture();
        const QImage layer = TextLayer(picture.size());
        const QImage captured = Composed(picture, layer);
        Open(picture, layer);
        QCOMPARE(TextPixelsChanged(m_dlg->PictureArea(), captured, layer), 0);
        for (const int id : {editctl::BRIGHT, editctl::DARK, editctl::SHARPEN, editctl::BLUR, editctl::CONTRAST_UP,
                             editctl::CONTRAST_DN}) {
            QTest::keyClick(m_dlg.get(), Qt::Key_R, Qt::ControlModifier);
            for (int i = 0; i < 3; ++i)
                m_dlg->OnCommand(id);
            const QImage shown = m_dlg->PictureArea();
            QVERIFY2(TextPixelsChanged(shown, captured, layer) == 0, qPrintable(m_dlg->CommandText()));
            QVERIFY(m_dlg->WorkingPicture() != picture.convertToFormat(m_dlg->WorkingPicture().format()));
        }
        m_dlg->OnCommand(editctl::SAVE);
        const QImage saved(Backup() + "/20240318_140003.jpg");
        const QColor text = saved.pixelColor(OpaqueInterior(layer)); // saved where captured, without a frame
        QVERIFY2(text.red() > 180 && text.green() > 180 && text.blue() > 180, qPrintable(text.name()));
    }

    // The file a page is printed to is made new: a link in its place, to a
    // recording, is refused with its name and the reason, and the recording stays.
    void printToAFileNeverGoesThroughALink()
    {
        CRecordingFixture recordings;
        CRecordingRecipe recipe;
        recipe.m_nRecords = 8;
        const CPlantedLink link(QString::fromStdString(recordings.Write(recipe)), m_dir->filePath("page.pdf"));
        QVERIFY(link.Planted());
        Open(false);
        PrintToPdf();
        const QString page = QDir::toNativeSeparators(m_dir->filePath("page.pdf"));
        QCOMPARE(m_messages, QStringList{"KVXPlayer|Can not print to " + page + "\nIt exists already."});
        QVERIFY(link.RecordingIntact() && link.LinkIntact());
    }

    void failedSaveNamesTheFile()
    {
        Open(false);
        QVERIFY(QDir(Backup()).removeRecursively());
        QFile blocker(Backup());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_dlg->OnCommand(editctl::SAVE);
        QCOMPARE(m_messages, QStringList{"KVXPlayer|Can not save the picture to "
                                         + QDir::toNativeSeparators(Backup() + "/20240318_140003.jpg")
                                         + ": its folder cannot be created: a file stands where a folder of its "
                                           "path must be\n\nChoose another folder for it, or cancel to leave it "
                                           "unsaved."});
        QCOMPARE(m_foldersAsked, 1); // and cancelled
        QVERIFY(!m_dlg->IsSaveOkShown());
        QVERIFY(m_dlg->SavedText().isEmpty());
        QCOMPARE(m_dlg->SaveFolder(), Backup() + "/");
    }

    // A folder chosen after a failure that fails too is named in its turn before the
    // next is asked for.
    void eachFailedFolderIsNamed()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser writes into every folder: an unwritable one cannot be made");
        Open(false);
        const QString locked = Folder() + "locked";
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0500) == 0);
        QVERIFY(::chmod(QFile::encodeName(Backup()).constData(), 0500) == 0);
        m_folderAnswers = {locked, Folder()};
        m_dlg->OnCommand(editctl::SAVE);
        ::chmod(QFile::encodeName(locked).constData(), 0700);
        ::chmod(QFile::encodeName(Backup()).constData(), 0700);
        const QString tail = ": Permission denied\n\nChoose another folder for it, or cancel to leave it unsaved.";
        QCOMPARE(m_messages,
                 (QStringList{"KVXPlayer|Can not save the picture to " + Backup() + "/20240318_140003.jpg" + tail,
                              "KVXPlayer|Can not save the picture to " + locked + "/20240318_140003.jpg" + tail}));
        QVERIFY(QFile::exists(Folder() + "20240318_140003.jpg"));
        QCOMPARE(m_dlg->SavedText(), QString("SAVED 20240318_140003.jpg"));
        QCOMPARE(m_dlg->SaveFolder(), Folder());
    }

    // A block that is no bitmap is refused with the picture named, not shown blank.
    void pictureThatCannotBeOpenedIsNamed()
    {
        SNAPSHOTINFO info;
        info.m_nChannel = 2;
        info.m_strRecordingPath = "/media/disc/incident 7.kvx";
        m_dlg->LayoutForSnapshot(false, QSize(1000, 640), info);
        QVERIFY(!m_dlg->LoadSnapshot(CBitmapBlock(), QImage()));
        QCOMPARE(m_messages, QStringList{"KVXPlayer|Can not open the picture of camera 3 of /media/disc/incident 7.kvx "
                                         "in the editor: the captured picture is not a bitmap it can show."});
        QVERIFY(!m_dlg->IsPictureLoaded());
    }

    // The page of the table, measured on the PDF: texts by the top-left of their box,
    // the picture 4 : 3 whatever the captured height.
    void printedPageFollowsTheTable()
    {
        Open(false);
        const QString pdf = PrintToPdf();
        QCOMPARE(m_dlg->CommandText().trimmed(), QString("PRINT"));
        const QList<CWord> words = WordsOf(pdf);
        const auto find = [&](const QString& text, int nth = 0) {
            for (const CWord& w : words)
                if (w.text == text && nth-- == 0)
                    return w.at;
            qFatal("no \"%s\" on the page", qPrintable(text));
        };
        const int dpi = m_nResolution;
        const double pt = 72.0 / dpi;
        const auto u = [&](int n) { return std::round(n * dpi / 84.0) * pt; };
        const double left = 72, top = 72; // one inch: dpiX, dpiY
        const int pwDevice = m_nPageWidth - 2 * dpi - dpi / 2;
        const double pw = pwDevice * pt, ph = pwDevice * 3 / 4 * pt;

        QVERIFY(std::abs(find("KVX").x() - left) < 1 && std::abs(find("KVX").y() - top) < 1);
        const double aw = find("VER").x() - left - u(430); // the width of "A"
        QVERIFY(aw > 3 && aw < 9);
        const QString rule(89, '_');
        const double ah = find(rule).y() - top - u(1); // the height of a line
        QVERIFY(ah > 6 && ah < 14);
        QVERIFY(std::abs(find("VER").y() - top) < 1);
        const double y2 = top + ah + u(1) + ah + u(10), y3 = y2 + ah + u(4);
        const auto check = [&](QPointF at, double x, double y) {
            QVERIFY2(std::abs(at.x() - x) < 1 && std::abs(at.y() - y) < 1,
                     qPrintable(QString("at %1,%2, expected %3,%4").arg(at.x()).arg(at.y()).arg(x).arg(y)));
        };
        check(find("BACKUP"), left + aw + u(175), y2);
        check(find("2024-03-18"), left + aw + u(75), y3);
        check(find("~"), left + aw + u(210), y3);
        check(find("2024-03-18", 1), left + aw + u(260), y3);
        const double y4 = top + u(120) + ph + u(4);
        check(find("05"), left, y4);
        check(find("2024-03-18", 2), left + aw + u(385), y4);
        const double y5 = y4 + ah + u(300), y6 = y5 + ah + u(6);
        check(find(rule, 1), left, y5);
        check(find(QDate::currentDate().toString("yyyy-MM-dd"), 1), left, y6); // the first is under the picture
        check(find("720"), left + aw + u(410), y6);
        QCOMPARE(find("*").y(), find("720").y());
        QVERIFY(std::abs(find("PIXEL").y() - y6) < 1);

        const QRect picture = BoxOfColour(PageImage(pdf), PICTURE_COLOUR);
        QVERIFY2(std::abs(picture.x() - left) <= 2 && std::abs(picture.y() - (top + u(120))) <= 2,
                 qPrintable(QString("picture at %1,%2").arg(picture.x()).arg(picture.y())));
        QVERIFY(std::abs(picture.width() - pw) <= 3 && std::abs(picture.height() - ph) <= 3);
    }

    // Under the picture the page says what was done to it and where it comes from,
    // the caption clear of the picture; print to a file suggests the picture's time.
    void printedPageDisclosesItsEnhancement()
    {
        Open(false);
        const auto pageText = [this] {
            QStringList texts;
            for (const CWord& w : WordsOf(PrintToPdf()))
                texts << w.text;
            QFile::remove(m_dir->filePath("page.pdf"));
            return texts.join(' ');
        };
        const QString plain = pageText();
        QVERIFY2(plain.contains("ENHANCEMENT : none"), qPrintable(plain));
        QVERIFY(plain.contains("SOURCE : incident 7.kvx, CAMERA 05"));
        QVERIFY(plain.contains("PRINTED : " + QDate::currentDate().toString("yyyy-MM-dd")));
        QCOMPARE(m_strSuggestedName, QString("20240318_140003"));

        m_dlg->OnCommand(editctl::BRIGHT);
        m_dlg->OnCommand(editctl::SHARPEN);
        QVERIFY(pageText().contains("ENHANCEMENT : BRIGHT, SHARPEN"));
        QTest::keyClick(m_dlg.get(), Qt::Key_Z, Qt::ControlModifier);
        const QString undone = pageText();
        QVERIFY2(undone.contains("ENHANCEMENT : BRIGHT SOURCE"), qPrintable(undone));

        const QString pdf = PrintToPdf();
        const QRect picture = BoxOfColour(PageImage(pdf), PICTURE_COLOUR);
        for (const CWord& w : WordsOf(pdf))
            if (w.text == "05")
                QVERIFY2(w.at.y() > picture.bottom() + 2,
                         qPrintable(QString("caption at %1, picture ends at %2").arg(w.at.y()).arg(picture.bottom())));
    }

    void palPrintsItsSizeAndStaysFourToThree()
    {
        Open(true);
        const QString pdf = PrintToPdf();
        QStringList texts;
        for (const CWord& w : WordsOf(pdf))
            texts << w.text;
        QVERIFY(texts.join(' ').contains("720 * 576 PIXEL"));
        QVERIFY(texts.join(' ').contains("05 CH"));
        const QRect picture = BoxOfColour(PageImage(pdf), PICTURE_COLOUR);
        QVERIFY(std::abs(double(picture.width()) / picture.height() - 4.0 / 3) < 0.02);
    }

    void printerRefusalsAndCancel()
    {
        Open(false);
        CPrintDialog::SetHandler([](QPrinter&) { return false; });
        m_dlg->OnCommand(editctl::PRINT);
        QVERIFY(m_messages.isEmpty()); // cancelled: nothing said
        CPrintDialog::SetHandler([this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(m_dir->filePath("missing/folder/page.pdf"));
            return true;
        });
        m_dlg->OnCommand(editctl::PRINT);
        QCOMPARE(m_messages, QStringList{"KVXPlayer|Can not print to "
                                         + QDir::toNativeSeparators(m_dir->filePath("missing/folder/page.pdf"))
                                         + "\nNo such file or directory"});
        m_messages.clear();
        CPrintDialog::SetHandler([](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::NativeFormat);
            printer.setPrinterName("no printer of this name");
            return true;
        });
        m_dlg->OnCommand(editctl::PRINT);
        QCOMPARE(m_messages, QStringList{"KVXPlayer|No Printer Driver is installed"});
    }

    void closeHidesAndForgets()
    {
        Open(false);
        QSignalSpy closed(m_dlg.get(), &CImageEditDlg::closed);
        m_dlg->OnCommand(editctl::BRIGHT);
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!m_dlg->isVisible());
        QVERIFY(!m_dlg->IsPictureLoaded());
        QVERIFY(m_dlg->WorkingPicture().isNull());
    }
};

KVX_REGISTER_TEST(TestImageEditDlg);
#include "tst_imageeditdlg.moc"
