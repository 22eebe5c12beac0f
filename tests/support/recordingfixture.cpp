#include "tests/support/recordingfixture.h"

#include <QFile>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CRecordingRecipe ClockSetBackRecipe()
{
    CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(4 * 120, 0.25);
    recipe.m_bAudio = false;
    recipe.m_nQuality = 30;
    recipe.m_timeShifts = {{4 * 60, -40}};
    return recipe;
}

CRecordingFixture::CRecordingFixture()
{
    QVERIFY2(m_dir.isValid(), "no temporary folder");
}

std::string CRecordingFixture::PathFor(const char* name) const
{
    return m_dir.filePath(QString::fromUtf8(name)).toStdString();
}

std::string CRecordingFixture::Write(const CRecordingRecipe& recipe)
{
    const std::string path = PathFor(("rec" + std::to_string(++m_nCount) + ".kvx").c_str());
    m_generators.push_back(std::make_unique<CRecordingGenerator>(recipe));
    std::string error;
    if (!m_generators.back()->Write(path, error))
        qFatal("generating a test recording failed: %s", error.c_str());
    return path;
}

std::string CRecordingFixture::WriteBytes(const std::vector<uint8_t>& bytes)
{
    const std::string path = PathFor(("raw" + std::to_string(++m_nCount) + ".kvx").c_str());
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()))
        qFatal("cannot write %s", path.c_str());
    return path;
}

std::string CRecordingFixture::MakePipe(const char* name) const
{
    const std::string path = PathFor(name);
    if (::mkfifo(path.c_str(), 0600) != 0)
        qFatal("cannot make the pipe %s", path.c_str());
    return path;
}

CPipeWatchdog::CPipeWatchdog(std::string path)
    : m_thread([this, path = std::move(path)] {
          for (int i = 0; i < 100 && !m_bDone; ++i)
              std::this_thread::sleep_for(std::chrono::milliseconds(50));
          // Without a reader waiting, a non-blocking open for writing fails: nothing to release.
          while (!m_bDone) {
              const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
              if (fd >= 0) {
                  m_bReleased = true;
                  ::close(fd);
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
      })
{
}

CPipeWatchdog::~CPipeWatchdog()
{
    Released();
}

bool CPipeWatchdog::Released()
{
    m_bDone = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_bReleased;
}
