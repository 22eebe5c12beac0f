#pragma once

#include <csignal>
#include <sys/resource.h>

// Files of this process, and of the children it starts, cannot grow past `bytes`
// while the object lives, as on a disc that is full: a write past the limit fails
// with EFBIG instead of the signal ending the process. The soft limit only is
// lowered, so it can be raised again.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{bytes, m_saved.rlim_max};
        m_bSet = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    bool IsSet() const { return m_bSet; }

    // For a child that the limit should hold alone: call between fork and exec.
    static void ApplyInChild(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_bSet = false;
};
