#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal message box with an OK button through which every message the user must
// see is shown. Tests replace the box with a recorder.
class CMessageBox {
public:
    using Handler = std::function<void(const QString& caption, const QString& text)>;

    // Over `parent`'s window, which is shown first when it has not been shown yet.
    static void Show(QWidget* parent, const QString& caption, const QString& text);
    // Replaces the box (nullptr restores it); returns the previous handler.
    static Handler SetHandler(Handler handler);
};
