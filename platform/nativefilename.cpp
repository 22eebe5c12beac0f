#include "platform/nativefilename.h"

#include <QFile>

#include <dirent.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr char16_t ESCAPE_BASE = 0xDC00; // byte b (0x80..0xFF) is kept as U+DC00 + b

// The length of the well-formed UTF-8 sequence at `p`, or 0 when there is none:
// no overlong forms, no surrogates, nothing above U+10FFFF.
int Utf8SequenceLength(const uint8_t* p, qsizetype available)
{
    const uint8_t lead = p[0];
    if (lead < 0x80)
        return 1;
    int length = 0;
    uint8_t low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    }
    if (length == 0 || available < length || p[1] < low || p[1] > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if ((p[k] & 0xC0) != 0x80)
            return 0;
    return length;
}

bool IsEscapedByte(const QString& name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    return c >= ESCAPE_BASE + 0x80 && c <= ESCAPE_BASE + 0xFF && !(i > 0 && name[i - 1].isHighSurrogate());
}

// The one entry of `folder` that Qt shows as `shown`; empty when there is none or
// more than one.
QByteArray EntryShownAs(const QByteArray& folder, const QString& shown)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.constData()), &::closedir);
    if (!dir)
        return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir.get()))
        if (QFile::decodeName(entry->d_name) == shown && ++matches == 1)
            found = entry->d_name;
    return matches == 1 ? found : QByteArray();
}

} // namespace

QString CNativeFileName::Decode(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
    QString name;
    qsizetype run = 0; // start of the valid UTF-8 not yet decoded
    for (qsizetype i = 0; i < bytes.size();) {
        if (const int length = Utf8SequenceLength(p + i, bytes.size() - i)) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + run, i - run);
        name += QChar(char16_t(ESCAPE_BASE + p[i]));
        run = ++i;
    }
    return name + QString::fromUtf8(bytes.constData() + run, bytes.size() - run);
}

QByteArray CNativeFileName::Encode(const QString& name)
{
    QByteArray bytes;
    qsizetype run = 0; // start of the text not yet encoded
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsEscapedByte(name, i))
            continue;
        bytes += QStringView(name).mid(run, i - run).toUtf8();
        bytes += char(name[i].unicode() - ESCAPE_BASE);
        run = i + 1;
    }
    return bytes + QStringView(name).mid(run).toUtf8();
}

QStringList CNativeFileName::Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << Decode(QByteArray(argv[i]));
    return arguments;
}

QString CNativeFileName::FromDialog(const QString& name)
{
    if (!name.contains(QChar::ReplacementCharacter) || ::access(Encode(name).constData(), F_OK) == 0)
        return name;
    const QStringList parts = name.split('/');
    QByteArray native;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QByteArray part = Encode(parts[i]);
        if (parts[i].contains(QChar::ReplacementCharacter)) {
            part = EntryShownAs(i == 0 ? "." : native.isEmpty() ? "/" : native, parts[i]);
            if (part.isEmpty())
                return name;
        }
        native += (i == 0 ? "" : "/") + part;
    }
    return Decode(native);
}
