#pragma once

#include <functional>

class QPrinter;
class QWidget;

// The modal dialog in which the user picks the printer and its settings. Tests
// replace it, for instance with a handler that prints to a PDF file.
class CPrintDialog {
public:
    using Handler = std::function<bool(QPrinter& printer)>;

    // Sets `printer` up as the user chooses; false when the user cancelled.
    static bool Exec(QWidget* parent, QPrinter& printer);
    static Handler SetHandler(Handler handler);
};
