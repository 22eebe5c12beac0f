#include "player/controlids.h"
#include "player/iplayerframe.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace {

// Holds the view in place of the main frame and writes down what the view asks of it.
class CStandInFrame : public QWidget, public IPlayerFrame {
public:
    explicit CStandInFrame(const QString& folder) : m_strFolder(folder), m_strIni(folder + "res.ini") {}
    // The view goes first: its teardown may still ask the frame.
    ~CStandInFrame() override { qDeleteAll(findChildren<CKVXPlayerView*>(Qt::FindDirectChildrenOnly)); }

    const QString& AppFolder() const override { return m_strFolder; }
    const QString& IniPath() const override { return m_strIni; }
    QSize SkinSize() const override { return QSize(1000, 640); }
    void CentreOnScreen(int width, int height) override
    {
        m_centred << QSize(width, height);
        resize(width, height);
    }
    QString AppTitle() const override { return "Stand-in"; }
    QStringList RecentFiles() const override { return m_recent; }
    void AddToRecentFileList(const QString& path) override { m_recent.prepend(path); }
    void ShowAboutBox(QWidget* parent) override { m_aboutParents << parent; }

    QList<QSize> m_centred;
    QStringList m_recent;
    QList<QWidget*> m_aboutParents;

private:
    const QString m_strFolder;
    const QString m_strIni;
};

void Drop(QWidget* target, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

} // namespace

// The view takes what it needs of its window and of the application through
// IPlayerFrame alone, so any window can hold it.
class TestPlayerFrame : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

private slots:
    void layoutSwitchSizesTheHoldingWindow()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin("[INFO]\nPAL=1");
        CStandInFrame frame(fixture.Folder());
        auto* view = new CKVXPlayerView(&frame, frame);
        view->OnInitialUpdate("");
        QCOMPARE(frame.m_centred, QList<QSize>{QSize(1000, 640 + 96 + 5)});
        QVERIFY(view->IsPal());
    }

    void openedRecordingsAndMessagesGoThroughTheFrame()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CStandInFrame frame(fixture.Folder());
        auto* view = new CKVXPlayerView(&frame, frame);
        view->OnInitialUpdate("");
        frame.show();

        const QString damaged = fixture.Folder() + "damaged.kvx";
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        Drop(view, damaged);
        QCOMPARE(fixture.m_messages.size(), 1);
        QVERIFY(fixture.m_messages.front().startsWith("Stand-in|"));
        QVERIFY(frame.m_recent.isEmpty()); // a file that does not open is not remembered

        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        const QString good = QString::fromStdString(m_recordings.Write(recipe));
        Drop(view, good);
        QVERIFY(view->IsPlayThreadStarted());
        QCOMPARE(frame.m_recent, QStringList{QFileInfo(good).absoluteFilePath()});
    }

    void logoAsksForTheAboutBoxAndExitClosesTheWindow()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CStandInFrame frame(fixture.Folder());
        auto* view = new CKVXPlayerView(&frame, frame);
        view->OnInitialUpdate("");
        frame.show();
        QTest::mouseDClick(view, Qt::LeftButton, {}, fixture.SkinRect("MAIN POS", "POS_LOGO").center());
        QCOMPARE(frame.m_aboutParents, QList<QWidget*>{view});

        QTest::mouseClick(view->Button(ctl::EXIT), Qt::LeftButton, {}, QPoint(2, 2));
        QTRY_VERIFY(!frame.isVisible());
    }
};

KVX_REGISTER_TEST(TestPlayerFrame);
#include "tst_playerframe.moc"
