#include "session/reportsaver.h"

#include "evidence/reportjson.h"
#include "platform/nativefilename.h"
#include "platform/outputfile.h"
#include "platform/sha256.h"
#include "platform/usersigner.h"
#include "session/reportfindings.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <filesystem>
#include <span>
#include <utility>

namespace {

constexpr int RESOLUTION = 300; // dots per inch the page is laid out in
constexpr int MAX_STEMS = 1000; // past this many reports of one recording in a folder, something is wrong

bool Taken(const QString& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(CNativeFileName::Encode(path).toStdString(), ec));
}

// NAME_report, or the first NAME_report_N of which no file exists yet.
QString FreeStem(const QString& folder, const CRecordingReport& report)
{
    const QString name = QFileInfo(CNativeFileName::Decode(QByteArray::fromStdString(report.m_strFile)))
                             .completeBaseName();
    const QString base = QDir(folder).filePath(name + "_report");
    for (int n = 1; n <= MAX_STEMS; ++n) {
        const QString stem = n == 1 ? base : QString("%1_%2").arg(base).arg(n);
        if (!Taken(stem + ".json") && !Taken(stem + ".pdf") && !Taken(stem + ".sha256") && !Taken(stem + ".sha256.sig"))
            return stem;
    }
    return {};
}

// The lines of the panel, wrapped to the page, on as many pages as they need, under
// a heading, with when and by what it was made at the end.
QByteArray PdfOf(const CRecordingReport& report, const CBookmarks& bookmarks)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    pdf.setResolution(RESOLUTION);
    pdf.setTitle("Recording report");
    pdf.setCreator("KVXPlayer");
    QStringList lines{"Recording report", ""};
    for (const CReportLine& line : ReportInWords(report, bookmarks))
        lines << line.m_strText;
    lines << "" << "Saved " + QDateTime::currentDateTime().toString(Qt::ISODate) + " by KVXPlayer";
    QPainter painter(&pdf);
    painter.setFont(QFont("DejaVu Sans", 10));
    const QRect page = painter.viewport();
    int y = 0;
    for (const QString& text : lines) {
        const QRect bounds = painter.boundingRect(QRect(0, 0, page.width(), page.height()), Qt::TextWordWrap,
                                                  text.isEmpty() ? " " : text);
        if (y + bounds.height() > page.height()) {
            pdf.newPage();
            y = 0;
        }
        painter.drawText(QRect(0, y, page.width(), bounds.height()), Qt::TextWordWrap, text);
        y += bounds.height();
    }
    painter.end();
    return buffer.data();
}

std::span<const uint8_t> Bytes(const QByteArray& data)
{
    return {reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())};
}

// Empty when written; else the file and the reason.
QString WriteNew(const QString& path, const QByteArray& data)
{
    std::string error;
    if (COutputFile::WriteNewFile(CNativeFileName::Encode(path).toStdString(), Bytes(data), error)
        == COutputFile::ECreate::Created)
        return {};
    return QString("%1 could not be written: %2").arg(path, QString::fromStdString(error));
}

QByteArray SumLine(const QByteArray& data, const QString& path)
{
    CSha256 hash;
    hash.Add(data.constData(), size_t(data.size()));
    const QByteArray name = CNativeFileName::Encode(QFileInfo(path).fileName());
    return QByteArray::fromStdString(Sha256SumLine(hash.HexDigest(), name.toStdString()));
}

} // namespace

CReportSaveOutcome SaveReport(const CRecordingReport& report, const CBookmarks& bookmarks, const QString& folder)
{
    CReportSaveOutcome outcome;
    const QString stem = FreeStem(folder, report);
    if (stem.isEmpty()) {
        outcome.m_strError = QString("%1 has no free name for another report of this recording.").arg(folder);
        return outcome;
    }
    outcome.m_strJson = stem + ".json";
    outcome.m_strPdf = stem + ".pdf";
    outcome.m_strSums = stem + ".sha256";
    const QByteArray json = QByteArray::fromStdString(RecordingReportJson(report, bookmarks) + "\n");
    const QByteArray pdf = PdfOf(report, bookmarks);
    const QByteArray sums = SumLine(json, outcome.m_strJson) + SumLine(pdf, outcome.m_strPdf);
    for (const auto& [path, data] : {std::pair(outcome.m_strJson, json), std::pair(outcome.m_strPdf, pdf),
                                     std::pair(outcome.m_strSums, sums)}) {
        outcome.m_strError = WriteNew(path, data);
        if (!outcome.m_strError.isEmpty())
            return outcome;
    }
    outcome.m_bSaved = true;
    outcome.m_signing = CUserSigner().Sign(CNativeFileName::Encode(outcome.m_strSums).toStdString());
    return outcome;
}
