// The editor's bitmap loading on any file, then every picture command on what it
// loaded, and the conversion to the picture the editor shows.
//
// Input: one byte whose bits choose the order of the commands, then the file.

#include "fuzz/memoryfile.h"
#include "snapshot/filtercommand.h"
#include "snapshot/imagefilter.h"
#include "snapshot/snapshotbitmap.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr std::array<const char*, 6> COMMANDS = {"bright", "dark", "sharpen", "blur", "despeckle", "contrast"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const CMemoryFile file(data + 1, size - 1);
    CBitmapBlock block = CImageFilter::LoadBitmapFile(file.Path());
    if (!block)
        return 0;
    Check(block.m_nSize == size - 1 && std::memcmp(block.m_pBytes.get(), data + 1, size - 1) == 0);

    const CImageFilter filter;
    for (size_t i = 0; i < COMMANDS.size(); ++i) {
        const CFilterCommand* command = CFilterCommand::FromName(COMMANDS[(i + data[0]) % COMMANDS.size()]);
        Check(command != nullptr);
        command->m_pRun(filter, block.Bytes());
    }
    // The file's own header stands in for the one the player hands over with it.
    BITMAPINFOHEADER header{};
    if (block.m_nSize >= 14 + sizeof header)
        std::memcpy(&header, block.m_pBytes.get() + 14, sizeof header);
    CSnapshotBitmap::PictureOf(block, header);
    return 0;
}
