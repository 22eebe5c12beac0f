#include "app/mainframe.h"

#include "app/aboutdialog.h"
#include "app/kvxplayerapp.h"
#include "platform/messagebox.h"
#include "player/kvxplayerview.h"
#include "skin/skinreader.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

namespace {
// The region hides the three leftmost columns and top rows, and reaches 99 pixels
// below the skin so that it also covers the taller PAL layout.
constexpr int REGION_INSET = 3;
constexpr int REGION_EXTRA_HEIGHT = 99;
} // namespace

CMainFrame::CMainFrame(QString appFolder)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    if (appFolder.isEmpty())
        appFolder = QCoreApplication::applicationDirPath();
    if (!appFolder.endsWith('/'))
        appFolder += '/';
    m_strAppFolder = appFolder;
    m_strIniPath = m_strAppFolder + "res.ini";
    setWindowTitle(APP_TITLE);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

CMainFrame::~CMainFrame()
{
    delete m_pView; // the view's teardown stops the playback thread before anything goes
    m_pView = nullptr;
}

bool CMainFrame::PreCreateWindow()
{
    const std::optional<QRect> skin = LoadFrameRect(CProfileFile(m_strIniPath.toStdString()));
    if (!skin) {
        CMessageBox::Show(nullptr, "KVX PLAYER", "Can't create window. Needs another resource.");
        return false;
    }
    if (skin->width() <= 0 || skin->height() <= 0)
        return false;
    m_nSkinWidth = skin->width();
    m_nSkinHeight = skin->height();
    CentreOnScreen(m_nSkinWidth, m_nSkinHeight);
    setMask(QRegion(REGION_INSET, REGION_INSET, m_nSkinWidth, m_nSkinHeight + REGION_EXTRA_HEIGHT - REGION_INSET));
    return true;
}

void CMainFrame::CreateView(const QString& commandLine)
{
    m_pView = new CKVXPlayerView(this, *this);
    m_pView->OnInitialUpdate(commandLine);
    m_pView->setFocus();
}

void CMainFrame::CentreOnScreen(int width, int height)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, width, height);
    setGeometry(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2, width, height);
    if (m_pView)
        m_pView->setGeometry(0, 0, width, height);
}

QString CMainFrame::AppTitle() const
{
    return APP_TITLE;
}

QStringList CMainFrame::RecentFiles() const
{
    return CKVXPlayerApp::RecentFiles();
}

void CMainFrame::AddToRecentFileList(const QString& path)
{
    const QString failure = CKVXPlayerApp::AddToRecentFileList(path);
    if (!failure.isEmpty())
        CMessageBox::Show(this, AppTitle(), failure);
}

void CMainFrame::ShowAboutBox(QWidget* parent)
{
    CAboutDialog(parent).exec();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}
