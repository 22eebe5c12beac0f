#include "skin/skinreader.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <vector>

namespace {
const char* const DEFAULT_RECT = "<0><0><20><10>";
const char* const NO_IMAGE = "EMPTY";
const char* const IMAGE_KEYS[4] = {"NORMAL", "DOWN", "DNCHECK", "DISABLE"};
} // namespace

QRect ParseSkinRect(const std::string& value)
{
    std::vector<std::string> tokens;
    std::string token;
    for (char c : value + '<') {
        if (c != '<' && c != '>') {
            token += c;
        } else if (!token.empty()) {
            tokens.push_back(token);
            token.clear();
        }
    }
    // Screen coordinates are 16-bit: a larger number (a damaged or hostile skin) is
    // taken at that limit, where the rectangle's far edge can still be computed.
    int n[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < tokens.size(); ++i)
        n[i] = std::clamp(LeadingInteger(tokens[i]), -SKIN_COORD_MAX, SKIN_COORD_MAX);
    return QRect(n[0], n[1], n[2], n[3]);
}

std::optional<QRect> LoadFrameRect(const CProfileFile& profile)
{
    const std::string value = profile.GetString("MAIN POS", "POS_SKIN", NO_IMAGE);
    if (value == NO_IMAGE)
        return std::nullopt;
    return ParseSkinRect(value);
}

QImage MapStandardGreys(QImage image)
{
    if (image.isNull())
        return image;
    const QPalette palette = QGuiApplication::palette();
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    const QRgb face = palette.color(QPalette::Button).rgb();
    const QRgb light = palette.color(QPalette::Midlight).rgb();
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            switch (line[x] & 0xFFFFFF) {
            case 0x808080: line[x] = shadow; break;
            case 0xC0C0C0: line[x] = face; break;
            case 0xDFDFDF: line[x] = light; break;
            default: break;
            }
        }
    }
    return image;
}

CSkinReader::CSkinReader(std::string iniPath, std::string appFolder, int palOffset)
    : m_profile(std::move(iniPath)), m_strAppFolder(std::move(appFolder)), m_nPalOffset(palOffset)
{
}

QRect CSkinReader::LoadSkinRect(const std::string& section, const std::string& key, bool pal) const
{
    QRect r = ParseSkinRect(m_profile.GetString(section, key, DEFAULT_RECT));
    if (pal)
        r.translate(0, m_nPalOffset);
    return r;
}

std::optional<QRect> CSkinReader::FindSkinRect(const std::string& section, const std::string& key, bool pal) const
{
    if (m_profile.GetString(section, key, "").empty())
        return std::nullopt;
    return LoadSkinRect(section, key, pal);
}

QString CSkinReader::ImagePath(const std::string& value) const
{
    QString path = QString::fromStdString(value).replace('\\', '/');
    return path.startsWith('/') ? path : QString::fromStdString(m_strAppFolder) + path;
}

QImage CSkinReader::LoadSkinBitmap(const std::string& section, const std::string& key) const
{
    return MapStandardGreys(QImage(ImagePath(m_profile.GetString(section, key, NO_IMAGE))));
}

CButtonImageNames CSkinReader::ReadButtonImages(const std::string& section, bool withLatched) const
{
    CButtonImageNames names;
    for (int slot = 0; slot < 4; ++slot) {
        if (slot == 2 && !withLatched)
            continue;
        const std::string value = m_profile.GetString(section, IMAGE_KEYS[slot], NO_IMAGE);
        if (!value.empty() && value.front() != 'E')
            names.m_names[size_t(slot)] = ImagePath(value);
    }
    return names;
}
