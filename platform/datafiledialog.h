#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal dialogs in which the user picks a file of the program's data (a masks
// file) to load, or names one to save; the save dialog asks before an existing file
// is chosen, so a file named there is the user's to replace. Tests replace the
// dialogs; what they hand over is a file name as CNativeFileName keeps it either way.
class CDataFileDialog {
public:
    enum class EMode { Load, Save };
    using Handler = std::function<QString(EMode mode, const QString& caption, const QString& folder)>;

    // The chosen path, or an empty string when the user cancelled. `filter` as
    // QFileDialog takes it ("Masks (*.json)").
    static QString GetFileName(QWidget* parent, EMode mode, const QString& caption, const QString& folder,
                               const QString& filter);
    static Handler SetHandler(Handler handler);
};
