#include "core/append_only_file.h"
#include "core/exceptions.h"
#include "tests/support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
std::string FailureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const Exception& error) {
        return error.Message();
    }
    return "no error";
}
} // namespace

TEST(AppendOnlyFile, IsAlwaysANewFileAndNeverTouchesOneThatExists) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("journal.tsv").toStdString();
    {
        const mode_t umaskBefore = umask(0); // what a hand-run shell may have: the file's own mode shows
        TAppendOnlyFile file(path);
        umask(umaskBefore);
        struct stat status {};
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0640u) << "readable by the owner and the group only";
        file.Append("first\r\n");
        file.Append("second\r\n");
        file.Sync();
        EXPECT_TRUE(file.StillAtPath());
    }
    EXPECT_EQ(ReadFileBytes(path), "first\r\nsecond\r\n");
    EXPECT_TRUE(TAppendOnlyFile::Exists(path));
    EXPECT_EQ(FailureOf([&] { TAppendOnlyFile again(path); }),
              "Cannot create file \"" + path + "\". File exists");
    EXPECT_EQ(ReadFileBytes(path), "first\r\nsecond\r\n");
    const std::string missing = dir.filePath("gone/journal.tsv").toStdString();
    EXPECT_FALSE(TAppendOnlyFile::Exists(missing));
    EXPECT_EQ(FailureOf([&] { TAppendOnlyFile inMissingFolder(missing); }),
              "Cannot create file \"" + missing + "\". No such file or directory");
}

// Writes to a removed file still succeed; only the path tells that nobody will ever read them.
TEST(AppendOnlyFile, KnowsWhenItsPathNoLongerNamesIt) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("runs");
    ASSERT_TRUE(QDir().mkpath(folder));
    TAppendOnlyFile moved((folder + "/moved.tsv").toStdString());
    TAppendOnlyFile removed((folder + "/removed.tsv").toStdString());
    ASSERT_TRUE(QFile::rename(folder + "/moved.tsv", folder + "/elsewhere.tsv"));
    EXPECT_FALSE(moved.StillAtPath());
    EXPECT_TRUE(removed.StillAtPath());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    removed.Append("line\r\n");
    EXPECT_FALSE(removed.StillAtPath());
}

// A full disk is made with the file size limit: the write that crosses it stops short, the next one fails.
TEST(AppendOnlyFile, AnAppendThatStopsShortIsCutBackOff) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.tsv").toStdString();
    TAppendOnlyFile file(path);
    file.Append("0123456789\r\n");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::string failure = FailureOf([&] { file.Append("a line longer than what is left\r\n"); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    EXPECT_EQ(failure, "Cannot write file \"" + path + "\". File too large");
    EXPECT_EQ(ReadFileBytes(path), "0123456789\r\n");
    file.Append("next\r\n");
    EXPECT_EQ(ReadFileBytes(path), "0123456789\r\nnext\r\n");
}
