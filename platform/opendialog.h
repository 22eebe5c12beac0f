#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal dialog in which the user picks a recording to open. Tests replace it.
class COpenDialog {
public:
    using Handler = std::function<QString(const QString& folder)>;

    // The chosen path, or an empty string when the user cancelled.
    static QString GetOpenFileName(QWidget* parent, const QString& folder);
    static Handler SetHandler(Handler handler);
};
