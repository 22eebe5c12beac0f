#include "snapshot/stillexif.h"

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr uint8_t APP1 = 0xE1;
constexpr size_t MAX_SEGMENT_DATA = 65533; // the 16-bit length counts itself

struct CExifDataUnref {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct CExifMemUnref {
    void operator()(ExifMem* mem) const { exif_mem_unref(mem); }
};

// Replaces (or adds) an ASCII entry; EXIF counts the closing NUL as part of it.
bool SetAscii(ExifData* data, ExifMem* mem, ExifIfd ifd, ExifTag tag, const std::string& text)
{
    if (ExifEntry* old = exif_content_get_entry(data->ifd[ifd], tag))
        exif_content_remove_entry(data->ifd[ifd], old);
    ExifEntry* entry = exif_entry_new_mem(mem);
    if (!entry)
        return false;
    const size_t size = text.size() + 1;
    entry->data = static_cast<unsigned char*>(exif_mem_alloc(mem, ExifLong(size)));
    if (!entry->data) {
        exif_entry_unref(entry);
        return false;
    }
    std::memcpy(entry->data, text.c_str(), size);
    entry->size = unsigned(size);
    entry->components = size;
    entry->format = EXIF_FORMAT_ASCII;
    entry->tag = tag;
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_unref(entry);
    return true;
}

// Sets a number the block already holds, in whichever integer format it has.
void SetNumber(ExifData* data, ExifIfd ifd, ExifTag tag, uint32_t value)
{
    ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], tag);
    if (!entry || !entry->data)
        return;
    const ExifByteOrder order = exif_data_get_byte_order(data);
    if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4)
        exif_set_long(entry->data, order, value);
    else if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2)
        exif_set_short(entry->data, order, ExifShort(value));
}

// "YYYY:MM:DD HH:MM:SS", as EXIF writes dates.
std::string ExifDate(const CDateTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.GetYear(), t.GetMonth(), t.GetDay(),
                  t.GetHour(), t.GetMinute(), t.GetSecond());
    return text;
}

} // namespace

QString CStillExif::Description(const CStillMetadata& still)
{
    const QString camera = still.m_nChannel > 0 ? QString::asprintf("Camera %02d", still.m_nChannel) : "Camera unknown";
    const QString recording = still.m_strRecording.isEmpty() ? "unknown" : still.m_strRecording;
    const QString filters = still.m_filters.isEmpty() ? "none" : still.m_filters.join(", ");
    return camera + "; recording " + recording + "; filters " + filters
         + (still.m_bRedacted ? "; privacy masks applied" : "");
}

std::vector<uint8_t> CStillExif::Segment(const CStillMetadata& still, int width, int height)
{
    const std::unique_ptr<ExifData, CExifDataUnref> data(exif_data_new());
    const std::unique_ptr<ExifMem, CExifMemUnref> mem(exif_mem_new_default());
    if (!data || !mem)
        return {};
    exif_data_set_byte_order(data.get(), EXIF_BYTE_ORDER_INTEL);
    exif_data_set_data_type(data.get(), EXIF_DATA_TYPE_COMPRESSED);
    exif_data_fix(data.get()); // the entries every EXIF block must have
    SetNumber(data.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, uint32_t(width));
    SetNumber(data.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, uint32_t(height));
    SetNumber(data.get(), EXIF_IFD_EXIF, EXIF_TAG_COLOR_SPACE, 1); // sRGB, as the encoder writes it
    const std::string software = "KVXPlayer " KVX_VERSION;
    bool ok = SetAscii(data.get(), mem.get(), EXIF_IFD_0, EXIF_TAG_IMAGE_DESCRIPTION, Description(still).toStdString())
           && SetAscii(data.get(), mem.get(), EXIF_IFD_0, EXIF_TAG_SOFTWARE, software);
    if (still.m_time.IsValid())
        ok = ok && SetAscii(data.get(), mem.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, ExifDate(still.m_time));
    unsigned char* bytes = nullptr;
    unsigned int size = 0;
    if (ok)
        exif_data_save_data(data.get(), &bytes, &size);
    const std::unique_ptr<unsigned char, decltype(&std::free)> owned(bytes, &std::free);
    if (!bytes || size == 0 || size > MAX_SEGMENT_DATA)
        return {};
    std::vector<uint8_t> segment = {0xFF, APP1, uint8_t((size + 2) >> 8), uint8_t((size + 2) & 0xFF)};
    segment.insert(segment.end(), bytes, bytes + size);
    return segment;
}
