#include "tools/kvxtool/offscreenapp.h"

namespace {

int g_argc = 1;
char g_name[] = "kvxtool";
char* g_argv[] = {g_name, nullptr};

} // namespace

COffscreenApp::COffscreenApp()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    m_app = std::make_unique<QGuiApplication>(g_argc, g_argv);
}

COffscreenApp::~COffscreenApp() = default;
