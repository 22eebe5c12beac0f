#pragma once

#include <QGuiApplication>

#include <memory>

// The application that drawing text needs, for commands that draw: fonts need one,
// a display does not. What Qt says about its environment is no part of kvxtool's
// output. One at a time, on the main thread.
class COffscreenApp {
public:
    COffscreenApp();
    ~COffscreenApp();
    COffscreenApp(const COffscreenApp&) = delete;
    COffscreenApp& operator=(const COffscreenApp&) = delete;

private:
    std::unique_ptr<QGuiApplication> m_app;
};
