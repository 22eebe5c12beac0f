#pragma once

#include <QDialog>

// "About  KVXPlayer": the program's icon, name and version, and OK.
class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent);
};
