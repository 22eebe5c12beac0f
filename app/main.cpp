#include "app/kvxplayerapp.h"
#include "platform/nativefilename.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CKVXPlayerApp app;
    // Not QCoreApplication::arguments(): it loses the bytes of a file name that are not UTF-8.
    if (!app.InitInstance(CNativeFileName::Arguments(argc, argv)))
        return 1;
    return application.exec();
}
