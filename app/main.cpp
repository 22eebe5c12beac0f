#include "app/kvxplayerapp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CKVXPlayerApp app;
    if (!app.InitInstance(QCoreApplication::arguments()))
        return 1;
    return application.exec();
}
