#pragma once

#include <QDialog>

// "About  KVXPlayer": the program's icon, name and version, and OK; under them the
// version as a number, the licence and the libraries with their versions.
class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent);
};
