#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal dialog in which the user picks a recording to open. Tests replace the
// dialog; what it hands over is a file name as CNativeFileName keeps it either way.
class COpenDialog {
public:
    using Handler = std::function<QString(const QString& folder)>;

    // The chosen path, or an empty string when the user cancelled.
    static QString GetOpenFileName(QWidget* parent, const QString& folder);
    static Handler SetHandler(Handler handler);
};
