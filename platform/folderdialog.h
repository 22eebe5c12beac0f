#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal dialog in which the user picks a folder to write into. Tests replace the
// dialog; what it hands over is a folder name as CNativeFileName keeps it either way.
class CFolderDialog {
public:
    using Handler = std::function<QString(const QString& caption, const QString& folder)>;

    // The chosen folder, or an empty string when the user cancelled.
    static QString GetExistingDirectory(QWidget* parent, const QString& caption, const QString& folder);
    static Handler SetHandler(Handler handler);
};
