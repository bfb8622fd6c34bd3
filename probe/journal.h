#pragma once

#include "core/append_only_file.h"
#include "core/exceptions.h"
#include "core/steady_clock.h"
#include "log/csv_line_writer.h"
#include "log/log_row.h"
#include "probe/probe_messages.h"
#include "probe/probe_sink.h"

#include <QDateTime>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

// One run's record on disk, in the format of a saved log: a new file for each Start (the given path with the
// start time before its extension), its header, then every row as it is measured. Each row is written at
// once and put on the disk at most a second later, so a crash loses at most the last second.
//
// A failure never stops the run: it is reported once (again only after the journal has worked in between),
// the rows that could not be written wait in memory, and every later row tries again; a file that has gone
// is made anew, with the header and the waiting rows. A file moved away under the journal keeps the rows that
// reached it; the next row begins a new file at the path.
class TJournal : public IProbeSink {
public:
    // path: the platform's file name (UTF-8) as the user gave it. report gets each failure. The clock
    // measures the second between syncs.
    TJournal(std::string path, const QDateTime& start, std::function<void(const Exception&)> report,
             const TSteadyClock& clock = TSteadyClock::System());
    // Puts everything written on the disk.
    ~TJournal() override;
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    void Append(const TLogRow& row);
    void RowMeasured(const TLogRow& row) override { Append(row); }
    // Closes the file being written, on the disk, and goes on in a new one named after start (a log rotation
    // asks for it): the next row is the new file's first.
    void StartNewFile(const QDateTime& start);
    // The file being written; empty while there is none.
    std::string FileName() const;

    // "run.tsv" started at 16:31:29 on 9 December 2026 becomes "run-2026-12-09_16-31-29.tsv"; the second
    // file of the same second "run-2026-12-09_16-31-29_002.tsv", and so on, so that the names sort in start
    // order. A path that is a folder (or ends with "/") means "run.tsv" in it.
    static std::string FileNameFor(const std::string& path, const QDateTime& start, int number);

private:
    void Write();
    void OpenNewFile();
    void SyncSoon();
    void Sync();
    void Failed(const Exception& error);

    std::string m_path;
    QDateTime m_start;
    std::function<void(const Exception&)> m_report;
    TCsvLineWriter m_lines;
    std::unique_ptr<TAppendOnlyFile> m_file;
    std::string m_waiting; // rows not yet in the file
    bool m_needsHeader = false; // the file is new and empty
    bool m_failing = false;
    bool m_unsynced = false;
    const TSteadyClock& m_clock;
    TSteadyClock::time_point m_lastSync;
    QTimer m_syncTimer;
};
