// skingen: draws the player's default skin into a program folder: res.ini and the
// bitmaps it names. With --preview it also composes the player window as the player
// will show it, read back through the player's own skin reader. With --app-icons it
// draws the application's icon for the desktop instead.

#include "tools/skingen/appiconpainter.h"
#include "tools/skingen/previewcomposer.h"
#include "tools/skingen/skinwriter.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

const char* HELP =
    "usage: skingen OUTDIR [--preview FILE.png] [--pal]\n"
    "       skingen --app-icons OUTDIR\n"
    "\n"
    "Writes OUTDIR/res.ini and the bitmaps it names into OUTDIR/skin/, and the\n"
    "windows' icon as OUTDIR/skin/kvxplayer.png.\n"
    "\n"
    "  --preview FILE.png   also write a picture of the player window as it will look\n"
    "  --pal                the preview shows the PAL layout\n"
    "  --app-icons          write the application icon as OUTDIR/hicolor/NxN/apps/kvxplayer.png\n";

struct COptions {
    QString folder;
    QString preview;
    bool pal = false;
    bool appIcons = false;
};

[[noreturn]] void Usage(const char* problem)
{
    std::fprintf(stderr, "skingen: %s\n%s", problem, HELP);
    std::exit(2);
}

COptions Parse(const QStringList& args)
{
    COptions options;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--pal")
            options.pal = true;
        else if (args[i] == "--app-icons")
            options.appIcons = true;
        else if (args[i] == "--preview" && i + 1 < args.size())
            options.preview = args[++i];
        else if (args[i].startsWith("-") || !options.folder.isEmpty())
            Usage(("unexpected argument " + args[i].toStdString()).c_str());
        else
            options.folder = args[i];
    }
    if (options.folder.isEmpty())
        Usage("no output folder");
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing needs no display: the skin is made at build time, on machines without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const COptions options = Parse(app.arguments());
    if (options.appIcons) {
        if (CAppIconPainter::WriteThemeIcons(options.folder, "kvxplayer"))
            return 0;
        std::fprintf(stderr, "skingen: cannot write the icons into %s\n", qPrintable(options.folder));
        return 1;
    }

    CSkinWriter writer(options.folder);
    if (!writer.Write()) {
        std::fprintf(stderr, "skingen: %s\n", qPrintable(writer.Error()));
        return 1;
    }
    // The windows' own icon, for a program folder that is not installed too.
    const QString icon = options.folder + "/skin/kvxplayer.png";
    if (!CAppIconPainter::Paint(64).save(icon)) {
        std::fprintf(stderr, "skingen: cannot write the icon %s\n", qPrintable(icon));
        return 1;
    }
    if (options.preview.isEmpty())
        return 0;
    const QImage preview = CPreviewComposer(options.folder).Compose(options.pal);
    if (preview.isNull() || !preview.save(options.preview)) {
        std::fprintf(stderr, "skingen: cannot write the preview %s\n", qPrintable(options.preview));
        return 1;
    }
    return 0;
}
