#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// A command-line program run to its end: exit status (-1 after a crash, -2 when it
// did not finish in time and was killed) and what it printed.
struct CToolRun {
    int status = -1;
    QByteArray out, err;

    QJsonObject Json() const { return QJsonDocument::fromJson(out).object(); }

    // `childSetup` runs in the child before the program starts (limits, signals); it
    // may only make calls that are safe between fork and exec.
    static CToolRun Of(const QString& program, const QStringList& args, int timeoutMs = 120000,
                       const std::function<void()>& childSetup = {})
    {
        QProcess process;
        if (childSetup)
            process.setChildProcessModifier(childSetup);
        process.start(program, args);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return {-2, process.readAllStandardOutput(), process.readAllStandardError()};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }
};

#ifdef KVXTOOL_PATH
// kvxtool as built beside the tests (KVXTOOL_PATH), run to its end.
inline CToolRun Kvxtool(const QStringList& args)
{
    return CToolRun::Of(KVXTOOL_PATH, args);
}
#endif

// Each picture's presentation time in a video file, in seconds, as ffprobe reads it.
inline QList<double> PictureTimes(const QString& path)
{
    QList<double> times;
    const CToolRun run = CToolRun::Of("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                  "frame=pts_time", "-of", "csv=p=0", path});
    for (const QByteArray& line : run.out.split('\n'))
        if (!line.trimmed().isEmpty())
            times << line.split(',').first().toDouble();
    return times;
}
