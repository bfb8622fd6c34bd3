#include "probe/journal.h"

#include "core/exceptions.h"
#include "log/csv_stream_format.h"

#include <QFileInfo>

namespace {
constexpr std::chrono::milliseconds kSyncInterval{1000};
// Names tried for the files of one second before giving up; more Starts than that in a second are not a run.
constexpr int kNamesPerSecond = 999;

// A folder, named so or existing, holds files named after "run.tsv".
std::string PathInFolder(std::string path) {
    if (!path.empty() && (path.back() == '/' || QFileInfo(QString::fromStdString(path)).isDir()))
        path += path.back() == '/' ? "run.tsv" : "/run.tsv";
    return path;
}
} // namespace

TJournal::TJournal(std::string path, const QDateTime& start, std::function<void(const Exception&)> report,
                   const TSteadyClock& clock)
    : m_path(PathInFolder(std::move(path))), m_start(start), m_report(std::move(report)),
      m_lines(TCsvStreamFormat().LineWriter()), m_clock(clock), m_lastSync(clock.Now()) {
    m_syncTimer.setSingleShot(true);
    QObject::connect(&m_syncTimer, &QTimer::timeout, [this] { Sync(); });
    Write();
}

TJournal::~TJournal() {
    m_syncTimer.stop();
    if (!m_waiting.empty())
        Write();
    Sync();
}

std::string TJournal::FileName() const { return m_file ? m_file->Path() : std::string(); }

std::string TJournal::FileNameFor(const std::string& path, const QDateTime& start, int number) {
    const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    size_t dot = path.rfind('.');
    // A name that only begins with a dot (".journal") has no extension.
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    std::string stamp = "-" + start.toString("yyyy-MM-dd_HH-mm-ss").toStdString();
    // "_" and three digits sort after the first file's "." or end, and among themselves in start order.
    if (number > 1)
        stamp += FormatText("_%03d", number);
    return path.substr(0, dot) + stamp + path.substr(dot);
}

void TJournal::Append(const TLogRow& row) {
    try {
        m_waiting += m_lines.RowLine(row);
    } catch (const Exception& error) {
        Failed(error);
        return;
    }
    Write();
}

void TJournal::Write() {
    try {
        if (!m_file)
            OpenNewFile();
        if (m_needsHeader) {
            m_file->Append(m_lines.HeaderLine() + m_waiting);
            m_needsHeader = false;
        } else {
            m_file->Append(m_waiting);
        }
        if (!m_file->StillAtPath()) {
            // A file moved away (rotated) keeps what reached it, on the disk; a removed one took it along, so
            // it waits for the next file.
            if (m_file->StillNamed()) {
                m_file->Sync();
                m_waiting.clear();
            }
            const std::string name = m_file->Path();
            m_file.reset();
            throw Exception::FromUtf8(FormatText("Cannot write file \"%s\". The file was removed or moved",
                                                 name.c_str()));
        }
        m_waiting.clear();
        m_unsynced = true;
        SyncSoon();
    } catch (const Exception& error) {
        Failed(error);
    }
}

void TJournal::StartNewFile(const QDateTime& start) {
    m_syncTimer.stop();
    Sync();
    m_file.reset();
    m_start = start;
    Write();
}

void TJournal::OpenNewFile() {
    for (int number = 1; number <= kNamesPerSecond; ++number) {
        const std::string name = FileNameFor(m_path, m_start, number);
        if (TAppendOnlyFile::Exists(name))
            continue;
        m_file = std::make_unique<TAppendOnlyFile>(name);
        m_needsHeader = true;
        return;
    }
    throw Exception::FromUtf8(FormatText("Cannot create file \"%s\". %s", FileNameFor(m_path, m_start, 1).c_str(),
                                         "Too many files of the same second"));
}

void TJournal::SyncSoon() {
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(m_clock.Now() - m_lastSync);
    if (since >= kSyncInterval)
        Sync();
    else if (!m_syncTimer.isActive())
        m_syncTimer.start(kSyncInterval - since);
}

void TJournal::Sync() {
    if (!m_unsynced || !m_file)
        return;
    try {
        m_file->Sync();
        m_unsynced = false;
        // Written and on the disk: the journal works again, and its next failure is news.
        m_failing = false;
        m_lastSync = m_clock.Now();
    } catch (const Exception& error) {
        Failed(error);
    }
}

void TJournal::Failed(const Exception& error) {
    if (m_failing)
        return;
    m_failing = true;
    if (m_report)
        m_report(error);
}
