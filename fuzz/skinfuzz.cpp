// The profile-file reader and writer and the rectangle grammar on any text, with
// the queries the player makes of its skin.

#include "skin/profilefile.h"
#include "skin/skinreader.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// One file per process, rewritten for every input: the writer replaces the file
// through a temporary beside it, which a file in memory cannot have. Its folder goes
// when the process ends.
class CScratchFolder {
public:
    CScratchFolder()
        : m_folder(std::filesystem::temp_directory_path() / ("kvx-skinfuzz-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(m_folder);
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    std::string File() const { return (m_folder / "res.ini").string(); }

private:
    std::filesystem::path m_folder;
};

const std::string& ScratchPath()
{
    static const CScratchFolder folder;
    static const std::string path = folder.File();
    return path;
}

void ReadAsThePlayerDoes(const CSkinReader& skin)
{
    const CProfileFile& ini = skin.Profile();
    LoadFrameRect(ini);
    for (const char* key : {"POS_LOGO", "POS_OVERLAY", "POS_SLIDE", "POS_SKIN"})
        for (bool pal : {false, true})
            skin.LoadSkinRect("MAIN POS", key, pal);
    ini.GetInt("INFO", "PAL", 0);
    ini.GetInt("INFO", "FILTER", 7);
    ini.GetString("TOOL_TIP", "TIP_PLAY", "EMPTY");
    skin.ReadButtonImages("PLAY BTN IMG", true);
    skin.ReadButtonImages("OK BTN IMG", false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseSkinRect(text);
    LeadingInteger(text);

    const std::string& path = ScratchPath();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), std::streamsize(size));
    const CSkinReader skin(path, "/nonexistent/", 99);
    ReadAsThePlayerDoes(skin);

    // What is written is what is read back, whatever else the file holds.
    if (skin.Profile().WriteString("INFO", "PAL", "1"))
        Check(skin.Profile().GetInt("INFO", "PAL", 0) == 1);
    if (skin.Profile().WriteString("Fuzz Section", "Fuzz Key", "<1><2><3><4>"))
        Check(skin.LoadSkinRect("FUZZ SECTION", "fuzz key", false) == QRect(1, 2, 3, 4));
    return 0;
}
