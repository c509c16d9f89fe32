// Scheduling rules with fake transfers: no network, the test decides when each
// file's workers end.
#include <QtTest>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "download/downloader.h"
#include "download/partfiles.h"
#include "download/progressboard.h"
#include "download/queuefile.h"

using namespace melorin::download;
using namespace std::chrono_literals;

namespace {

QString progressShown(const ProgressBoard& board, std::size_t row) {
    const std::string_view text = progressText(board.rows()[row].state);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct FakeState {
    std::mutex mutex;
    std::vector<FileOrder> started;
    std::vector<std::string> probed;
    std::map<std::string, ProbeResult> probes;  // by URL; default: 1000 bytes
    std::string hangingProbe;                   // waits for cancel
    std::map<int, FileObserver*> observers;     // by queue row
    std::map<int, std::shared_ptr<std::atomic<bool>>> cancelled;
};

class FakeTransfer final : public FileTransfer {
public:
    explicit FakeTransfer(std::shared_ptr<std::atomic<bool>> flag) : flag_(std::move(flag)) {}
    void cancel() override { *flag_ = true; }

private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

class FakeNetwork final : public Network {
public:
    explicit FakeNetwork(std::shared_ptr<FakeState> s) : s_(std::move(s)) {}
    ProbeResult probe(const std::string& url, const std::atomic<bool>& cancel) override {
        bool hang;
        {
            std::lock_guard lock(s_->mutex);
            s_->probed.push_back(url);
            hang = url == s_->hangingProbe;
        }
        while (hang && !cancel) std::this_thread::sleep_for(1ms);
        if (hang) return {false, 0, -1, "已停止"};
        std::lock_guard lock(s_->mutex);
        auto it = s_->probes.find(url);
        return it != s_->probes.end() ? it->second : ProbeResult{true, 200, 1000, {}, 321};
    }
    std::unique_ptr<FileTransfer> start(const FileOrder& order, FileObserver& o) override {
        std::lock_guard lock(s_->mutex);
        s_->started.push_back(order);
        s_->started.back().file.reset();  // the .part's lock goes with the pass's order
        s_->observers[order.queueRow] = &o;
        auto flag = std::make_shared<std::atomic<bool>>(false);
        s_->cancelled[order.queueRow] = flag;
        return std::make_unique<FakeTransfer>(flag);
    }

private:
    std::shared_ptr<FakeState> s_;
};

std::string url(int row) {
    return "http://127.0.0.1:9/f" + std::to_string(row);
}

}  // namespace

class DownloadSchedulingTest : public QObject {
    Q_OBJECT
    std::shared_ptr<FakeState> fake;
    std::unique_ptr<Downloader> dl;
    std::unique_ptr<QTemporaryDir> dir;  // fresh for every test

    void addRows(int n) {
        int first = static_cast<int>(dl->jobs().size());
        for (int i = first; i < first + n; ++i) {
            DownloadJob job;
            job.title = "t" + std::to_string(i);
            job.address = url(i);
            job.type = "mp3";
            job.size = "1K";
            job.savePath = dir->path().toStdString() + "/t" + std::to_string(i) + ".mp3";
            dl->addJob(job);
        }
    }
    PassSettings settings() { return {5, "search", dir->path().toStdString()}; }
    int startedCount() {
        std::lock_guard lock(fake->mutex);
        return static_cast<int>(fake->started.size());
    }
    int probedCount() {
        std::lock_guard lock(fake->mutex);
        return static_cast<int>(fake->probed.size());
    }
    FileOrder order(int row) {
        std::lock_guard lock(fake->mutex);
        for (const auto& s : fake->started)
            if (s.queueRow == row) return s;
        return {};
    }
    // Ends every worker of the row's file from worker threads, as curl would.
    void finish(int row, bool complete) {
        finish(row, complete ? FileOutcome::Verdict::Complete : FileOutcome::Verdict::Failed);
    }
    void finish(int row, FileOutcome::Verdict verdict) {
        FileObserver* o;
        FileOrder order;
        {
            std::lock_guard lock(fake->mutex);
            o = fake->observers.at(row);
            for (const auto& s : fake->started)
                if (s.queueRow == row) order = s;
        }
        std::vector<std::thread> workers;
        const int n = static_cast<int>(order.plan.segments.size());
        std::atomic<int> left{n};
        for (int w = 0; w < n; ++w)
            workers.emplace_back([&, w] {
                o->workerBytes(order.slot, w, 100 * (w + 1));
                o->workerEnded(order.slot, w);
                if (--left == 0) {
                    const bool complete = verdict == FileOutcome::Verdict::Complete;
                    o->fileEnded(order.slot, {verdict, complete ? "" : "断了"});
                }
            });
        for (auto& t : workers) t.join();
    }
    std::vector<std::string> logLines() { return logLinesOf(dl->takeEvents()); }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        fake = std::make_shared<FakeState>();
        dl = std::make_unique<Downloader>(std::make_unique<FakeNetwork>(fake));
    }
    void cleanup() { dl.reset(); }

    void threeAtOnceFourthWaitsForItsSlot() {
        addRows(4);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 3, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(probedCount(), 4, 5000);  // row 3 probed at once
        {
            std::lock_guard lock(fake->mutex);
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(fake->started[i].queueRow, i);
                QCOMPARE(fake->started[i].slot, i);
                QCOMPARE(int(fake->started[i].plan.segments.size()), 5);
            }
        }
        QVERIFY(dl->exitQuestionNeeded());
        QCOMPARE(dl->snapshot().runningWorkers, 15);
        finish(1, true);  // another slot: row 3 keeps waiting
        QVERIFY(!QTest::qWaitFor([&] { return startedCount() > 3; }, 50));
        finish(0, true);
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 4, 5000);
        {
            std::lock_guard lock(fake->mutex);
            QCOMPARE(fake->started[3].queueRow, 3);
            QCOMPARE(fake->started[3].slot, 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        auto c = dl->snapshot();
        QCOMPARE(c.threadBytes[0][0], std::int64_t(0));  // slot 0's counters reset for row 3
        QCOMPARE(c.slotRunning[0], 5);
        finish(2, true);
        finish(3, true);
        QCOMPARE(dl->snapshot().runningWorkers, 0);
        QVERIFY(!dl->exitQuestionNeeded());
        for (int i = 0; i < 4; ++i) QCOMPARE(dl->rowState(i), RowState::Finished);
    }

    // The pass's tally: its files, those complete and failed, and each file's share on disk.
    void passTallyFollowsTheFiles() {
        addRows(4);
        {
            std::lock_guard lock(fake->mutex);
            fake->probes[url(3)] = {false, 404, -1, "找不到", 0, {}, {}, {}, true};
        }
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(dl->passTally().failed, 1, 5000);  // row 3, refused at once
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 3, 5000);
        PassTally t = dl->passTally();
        QCOMPARE(t.files, 4);
        QCOMPARE(t.finished, 0);
        QCOMPARE(t.received, 0.0);
        FileObserver* o;
        {
            std::lock_guard lock(fake->mutex);
            o = fake->observers.at(0);
        }
        o->workerBytes(0, 0, 300);
        o->workerBytes(0, 1, 200);  // half of row 0's 1000 bytes
        QCOMPARE(passPercent(dl->passTally()), 12);
        finish(0, true);
        finish(1, false);
        finish(2, true);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->busy(), 5000);
        t = dl->passTally();
        QCOMPARE(passStatusText(t), std::string("2/4 个文件 50%"));
        QCOMPARE(t.failed, 2);
        QCOMPARE(dl->finishedFile(0), std::optional<std::string>(dl->job(0).savePath));
        QCOMPARE(dl->finishedFile(1), std::nullopt);
        // The next pass counts only what it takes again: the failed row, not the refused one.
        QVERIFY(dl->start(settings()));
        t = dl->passTally();
        QCOMPARE(t.files, 1);
        QCOMPARE(t.finished + t.failed, 0);
    }

    // A pass pressed for while the one before still has a file running counts that one too.
    void passTallyGoesOnWhileFilesRun() {
        addRows(1);
        QVERIFY(dl->start(settings()));
        QTRY_VERIFY_WITH_TIMEOUT(startedCount() == 1 && !dl->passRunning(), 5000);
        addRows(1);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 2, 5000);
        finish(0, true);
        finish(1, false);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->busy(), 5000);
        const PassTally t = dl->passTally();
        QCOMPARE(t.files, 2);
        QCOMPARE(t.finished, 1);
        QCOMPARE(t.failed, 1);
        // Once idle, the next pass counts on its own.
        QVERIFY(dl->start(settings()));
        QCOMPARE(dl->passTally().files, 1);
    }

    void secondStartIgnoredAndFinishedNotRefetched() {
        addRows(4);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(probedCount(), 4, 5000);
        QVERIFY(!dl->start(settings()));  // pass is waiting for slot 0
        QVERIFY(!dl->removeJobs({0}));
        finish(0, true);
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 4, 5000);
        for (int r : {1, 2, 3}) finish(r, true);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        QVERIFY(!dl->start(settings()));  // nothing left to do
        addRows(1);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 5, 5000);
        {
            std::lock_guard lock(fake->mutex);
            QCOMPARE(fake->started[4].queueRow, 4);
            QCOMPARE(int(fake->probed.size()), 5);  // the finished rows were not probed again
        }
        finish(4, false);
        QCOMPARE(dl->rowState(4), RowState::Failed);
    }

    void skippedRowsLogTheirReason() {
        addRows(3);
        fake->probes[url(0)] = {false, 0, -1, "连接失败"};
        ProbeResult noLength{false, 200, -1, "服务器没有告知文件大小"};
        noLength.hopeless = true;
        fake->probes[url(1)] = noLength;
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        auto lines = logLines();
        QCOMPARE(lines.size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(lines[0]), QStringLiteral("t0不能下载：连接失败"));
        QCOMPARE(QString::fromStdString(lines[1]),
                 QStringLiteral("t1不能下载：服务器没有告知文件大小"));
        // No answer may come later: the row stays for the next start. No length never will.
        QCOMPARE(dl->rowState(0), RowState::Failed);
        QCOMPARE(dl->rowState(1), RowState::Refused);
        finish(2, true);
    }

    void failureHookMovesPastTheRow() {
        addRows(5);
        fake->hangingProbe = url(1);
        QVERIFY(dl->start(settings()));
        QTRY_VERIFY_WITH_TIMEOUT(dl->probing() && dl->probeRow() == 1, 5000);
        dl->skipProbeRow();  // "socket" while probing
        // Row 2 starts in slot 2; row 3 (slot 0) waits for row 0.
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(dl->probing() && dl->probeRow() == 3, 5000);
        QCOMPARE(dl->rowState(1), RowState::Skipped);
        // "40" between files: slot 0's connections are released.
        dl->releaseSlot(0);
        {
            std::lock_guard lock(fake->mutex);
            QVERIFY(*fake->cancelled.at(0));
        }
        finish(0, false);
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 4, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        for (int r : {2, 3, 4}) finish(r, true);
        QCOMPARE(dl->rowState(0), RowState::Failed);
        QCOMPARE(dl->rowState(3), RowState::Finished);
    }

    void stopOnCloseEndsAWaitingPass() {
        addRows(4);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(probedCount(), 4, 5000);
        dl->confirmExit();
        QVERIFY(!dl->exitQuestionNeeded());
        dl->stopAll();
        QVERIFY(!dl->passRunning());
        {
            std::lock_guard lock(fake->mutex);
            for (int r = 0; r < 3; ++r) QVERIFY(*fake->cancelled.at(r));
        }
        QCOMPARE(dl->rowState(3), RowState::Waiting);
    }

    void boardLogsEachCompletionOnce() {
        addRows(2);
        auto now = std::chrono::steady_clock::time_point{};
        ProgressBoard board([&] { return now; }, [] { return std::string("D"); });
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        auto c = board.apply(dl->takeEvents());
        QVERIFY(c.timerRunning);
        QCOMPARE(board.rows().size(), std::size_t(2));
        QCOMPARE(progressShown(board, 0), QStringLiteral("正在下载"));
        finish(0, true);
        now += 1000ms;
        board.apply(dl->takeEvents());
        auto t = board.tick(dl->snapshot());
        QCOMPARE(QString::fromStdString(board.elapsedPanel()), QStringLiteral("总耗时：1秒"));
        QCOMPARE(t.logLines.size(), std::size_t(6));
        QCOMPARE(QString::fromStdString(t.logLines[1]), QStringLiteral("t0下载完毕!"));
        QCOMPARE(progressShown(board, 0), QStringLiteral("下载已经完成"));
        QCOMPARE(board.rows()[1].seconds, 1);
        QCOMPARE(board.rows()[0].seconds, 0);
        finish(1, false);
        auto end = board.apply(dl->takeEvents());
        QVERIFY(!end.timerRunning);
        QCOMPARE(end.logLines.size(), std::size_t(1));  // the failure; no completion entry
        QCOMPARE(QString::fromStdString(end.logLines[0]), QStringLiteral("t1下载失败!断了"));
        QCOMPARE(progressShown(board, 1), QStringLiteral("下载失败"));
        now += 1000ms;
        QVERIFY(board.tick(dl->snapshot()).logLines.empty());
    }

    void twoRowsOfOneTitleGetTwoFiles() {
        addRows(1);
        DownloadJob again = dl->jobs()[0];
        QCOMPARE(dl->addJob(again), 1);
        QCOMPARE(dl->addJob(again), 2);
        const std::string base = dir->path().toStdString() + "/t0";
        QCOMPARE(QString::fromStdString(dl->job(1).savePath),
                 QString::fromStdString(base + " (2).mp3"));
        QCOMPARE(QString::fromStdString(dl->job(2).savePath),
                 QString::fromStdString(base + " (3).mp3"));
        // Retargeting onto another row's path numbers it too; onto its own path changes nothing.
        QVERIFY(dl->setSavePath(2, base + ".mp3"));
        QCOMPARE(QString::fromStdString(dl->job(2).savePath),
                 QString::fromStdString(base + " (3).mp3"));
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 3, 5000);
        // Each writes its own ".part"; the save paths themselves are not touched before the end.
        std::set<std::string> parts;
        for (int r = 0; r < 3; ++r) {
            parts.insert(order(r).statePath);
            QCOMPARE(QString::fromStdString(order(r).statePath),
                     QString::fromStdString(statePathFor(dl->job(r).savePath)));
            QVERIFY(QFile::exists(QString::fromStdString(partPathFor(dl->job(r).savePath))));
            QVERIFY(!QFile::exists(QString::fromStdString(dl->job(r).savePath)));
        }
        QCOMPARE(parts.size(), std::size_t(3));
        QFile old(QString::fromStdString(dl->job(1).savePath));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier") == 7);
        old.close();
        finish(0, true);
        finish(1, false);  // a failed download leaves the earlier file of its name alone
        finish(2, true);
        QVERIFY(QFile::exists(QString::fromStdString(dl->job(0).savePath)));
        QVERIFY(!QFile::exists(QString::fromStdString(partPathFor(dl->job(0).savePath))));
        // ...and keeps what it received for the next start.
        QVERIFY(QFile::exists(QString::fromStdString(partPathFor(dl->job(1).savePath))));
        QFile kept(QString::fromStdString(dl->job(1).savePath));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("earlier"));
        QVERIFY(!dl->setSavePath(2, base + ".x"));  // fetched rows keep their path
    }

    // A new folder moves only the rows not started, each to a file of its own there; a
    // folder left empty moves none.
    void retargetMovesOnlyRowsNotStarted() {
        QVERIFY(!dl->busy());
        addRows(2);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        finish(0, true);  // row 0 fetched, row 1 still running
        addRows(1);
        DownloadJob twin = dl->job(2);
        twin.savePath = dir->path().toStdString() + "/elsewhere.mp3";
        QCOMPARE(dl->addJob(twin), 3);
        const std::vector<std::string> before = {dl->job(0).savePath, dl->job(1).savePath};

        const std::string folder = dir->path().toStdString() + "/new";
        QCOMPARE(dl->retarget({0, 1, 2, 3, 9, -1}, ""), std::vector<int>{});
        QCOMPARE(dl->retarget({0, 1, 2, 3, 9, -1}, folder), (std::vector<int>{2, 3}));
        QCOMPARE(dl->job(0).savePath, before[0]);
        QCOMPARE(dl->job(1).savePath, before[1]);
        QCOMPARE(dl->job(2).savePath, folder + "/t2.mp3");
        QCOMPARE(dl->job(3).savePath, folder + "/t2 (2).mp3");  // same title: numbered
        finish(1, true);
    }

    // The last worker's end lowers the running count before its file's end takes the lock;
    // removing rows in between would leave the file's end with an index out of range.
    void removalRefusedUntilTheFileHasEnded() {
        addRows(1);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        const FileOrder o = order(0);
        FileObserver* observer;
        {
            std::lock_guard lock(fake->mutex);
            observer = fake->observers.at(0);
        }
        for (int w = 0; w < int(o.plan.segments.size()); ++w) observer->workerEnded(o.slot, w);
        QCOMPARE(dl->snapshot().runningWorkers, 0);
        QVERIFY(dl->busy());  // the pass has ended, its file has not
        QVERIFY(!dl->removeJobs({0}));
        QVERIFY(!dl->clearJobs());
        QCOMPARE(dl->jobs().size(), std::size_t(1));
        observer->fileEnded(o.slot, {FileOutcome::Verdict::Complete});
        QCOMPARE(dl->rowState(0), RowState::Finished);
        QVERIFY(!dl->busy());
        QVERIFY(dl->removeJobs({0}));
        QVERIFY(dl->jobs().empty());
    }

    // "总耗时" runs from the start of a pass, also across a stop of the timer between files.
    void elapsedCountsFromThePassStart() {
        addRows(4);
        auto now = std::chrono::steady_clock::time_point{};
        ProgressBoard board([&] { return now; }, [] { return std::string("D"); });
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(probedCount(), 4, 5000);
        board.apply(dl->takeEvents());
        // Row 3 has been probed while the others run: panel 0 shows the probe's count.
        QCOMPARE(dl->snapshot().lastReportTag, kProbeTag);
        for (int i = 0; i < 2; ++i) {
            now += 1000ms;
            board.tick(dl->snapshot());
        }
        QCOMPARE(QString::fromStdString(board.reportPanel()), QStringLiteral("321"));
        QCOMPARE(QString::fromStdString(board.elapsedPanel()), QStringLiteral("总耗时：2秒"));
        finish(1, true);
        finish(2, true);
        finish(0, true);  // no worker runs now: the timer stops until row 3 starts
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 4, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        auto c = board.apply(dl->takeEvents());
        QVERIFY(c.timerRunning);
        now += 1000ms;
        board.tick(dl->snapshot());
        QCOMPARE(QString::fromStdString(board.elapsedPanel()), QStringLiteral("总耗时：3秒"));
        finish(3, true);
        board.apply(dl->takeEvents());
        addRows(1);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 5, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        board.apply(dl->takeEvents());
        now += 1000ms;
        board.tick(dl->snapshot());
        QCOMPARE(QString::fromStdString(board.elapsedPanel()), QStringLiteral("总耗时：1秒"));
        finish(4, true);
    }

    // Is it really the song? A web page for a song row fails the row; for an "html" row it is
    // the file.
    void webPageIsNotTheSong() {
        addRows(3);
        DownloadJob page = dl->job(2);
        page.type = "HTML";
        page.savePath += ".html";
        dl->removeJobs({2});
        dl->addJob(page);
        const ProbeResult web{true, 200, 1000, {}, 60, "<html><head><title>x", "text/html", ""};
        fake->probes[url(1)] = web;
        fake->probes[url(2)] = web;
        QVERIFY(dl->start(settings()));
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        QCOMPARE(dl->rowState(1), RowState::Refused);
        QCOMPARE(startedCount(), 2);
        QCOMPARE(order(2).queueRow, 2);
        const std::vector<DownloadEvent> events = dl->takeEvents();
        const std::vector<std::string> lines = logLinesOf(events);
        int failedRows = 0;
        for (const auto& e : events) {
            const auto* added = std::get_if<ProgressRowAdded>(&e);
            if (added && added->queueRow == 1 && added->state == ProgressState::Failed)
                ++failedRows;
        }
        QCOMPARE(failedRows, 1);
        QCOMPARE(lines, std::vector<std::string>{"t1下载失败!服务器返回的是网页，不是歌曲文件"});
        QVERIFY(!QFile::exists(QString::fromStdString(dl->job(1).savePath + ".part")));
        finish(0, true);
        finish(2, true);
    }

    // The queue file holds the rows not finished, refused or removed; a new downloader on it
    // brings them back, and a removed row takes its received bytes along.
    void queueFileKeepsUnfinishedRows() {
        const std::string file = dir->path().toStdString() + "/downloads.queue";
        auto saved = [&] {
            QFile f(QString::fromStdString(file));
            std::vector<std::string> titles;
            if (!f.open(QIODevice::ReadOnly)) return titles;
            for (const DownloadJob& j : decodeQueue(f.readAll().toStdString()).rows)
                titles.push_back(j.title);
            return titles;
        };
        QCOMPARE(dl->keepQueueIn(file), 0);
        addRows(4);
        QTRY_COMPARE_WITH_TIMEOUT(saved().size(), std::size_t(4), 5000);
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 3, 5000);
        finish(0, true);
        finish(1, FileOutcome::Verdict::Refused);
        QTRY_COMPARE_WITH_TIMEOUT(saved(), (std::vector<std::string>{"t2", "t3"}), 5000);
        dl->stopAll();  // row 2 was running: it stays
        QCOMPARE(saved(), (std::vector<std::string>{"t2", "t3"}));
        dl.reset();

        dl = std::make_unique<Downloader>(std::make_unique<FakeNetwork>(fake));
        QCOMPARE(dl->keepQueueIn(file), 2);
        QCOMPARE(dl->jobs().size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(dl->job(0).title), QStringLiteral("t2"));
        QCOMPARE(dl->rowState(0), RowState::Waiting);
        const std::string path = dl->job(0).savePath;
        std::ofstream(partPathFor(path)) << "part";
        std::ofstream(statePathFor(path)) << "state";
        QVERIFY(dl->removeJobs({0}));
        QVERIFY(!QFile::exists(QString::fromStdString(partPathFor(path))));
        QVERIFY(!QFile::exists(QString::fromStdString(statePathFor(path))));
        QTRY_COMPARE_WITH_TIMEOUT(saved(), std::vector<std::string>{"t3"}, 5000);
        QVERIFY(dl->clearJobs());
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QString::fromStdString(file)), 5000);
    }

    // The log names the file actually written: the fallback name when the row's own could not
    // be made, and the next free name when a file took the save path while it downloaded.
    void logNamesTheFileWritten() {
        addRows(2);
        DownloadJob lost = dl->job(0);
        lost.savePath = dir->path().toStdString() + "/no such folder/t0.mp3";
        QVERIFY(dl->removeJobs({0}));
        QCOMPARE(dl->addJob(lost), 1);  // now row 1: slot 1
        auto now = std::chrono::steady_clock::time_point{};
        ProgressBoard board([&] { return now; }, [] { return std::string("D"); });
        QVERIFY(dl->start(settings()));
        QTRY_COMPARE_WITH_TIMEOUT(startedCount(), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dl->passRunning(), 5000);
        const std::string taken = dl->job(0).savePath;
        std::ofstream(taken) << "appeared meanwhile";
        board.apply(dl->takeEvents());
        finish(0, true);
        finish(1, true);
        const QStringList log = [&] {
            QStringList lines;
            for (const std::string& l : board.apply(dl->takeEvents()).logLines)
                lines << QString::fromStdString(l);
            return lines;
        }();
        const std::string numbered = dir->path().toStdString() + "/t1 (2).mp3";
        const std::string fallback = dir->path().toStdString() + "/search1.mp3";
        QVERIFY2(log.contains(QStringLiteral("保存地址：") + QString::fromStdString(numbered)),
                 qPrintable(log.join(u'\n')));
        QVERIFY2(log.contains(QStringLiteral("保存地址：") + QString::fromStdString(fallback)),
                 qPrintable(log.join(u'\n')));
        QFile earlier(QString::fromStdString(taken));
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("appeared meanwhile"));
        QCOMPARE(QFileInfo(QString::fromStdString(numbered)).size(), 1000);
        QCOMPARE(QFileInfo(QString::fromStdString(fallback)).size(), 1000);
    }

    // A queue file with a changed byte in its header and a broken line: it is moved aside
    // whole before anything is written, and the rows that can be read come back.
    void damagedQueueFileIsMovedAside() {
        const std::string file = dir->path().toStdString() + "/downloads.queue";
        std::vector<DownloadJob> rows;
        for (int i = 0; i < 3; ++i) {
            rows.push_back({{melorin::core::RowShape::File, std::to_string(i), 0,
                             "t" + std::to_string(i), url(i), "1K", "mp3"},
                            dir->path().toStdString() + "/t" + std::to_string(i) + ".mp3"});
        }
        std::string text = encodeQueue(rows);
        text[3] = 'X';                                  // "melXrin-queue 1"
        text.insert(text.rfind("0\t0\t"), "broken\n");  // a line of one field
        std::ofstream(file, std::ios::binary) << text;
        QCOMPARE(dl->keepQueueIn(file), 3);
        const std::vector<std::string> lines = logLines();
        QCOMPARE(lines.size(), std::size_t(1));
        QVERIFY2(
            QString::fromStdString(lines[0]).contains(QString::fromStdString(file + ".damaged")),
            lines[0].c_str());
        QFile aside(QString::fromStdString(file + ".damaged"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll().toStdString(), text);
        QCOMPARE(QString::fromStdString(dl->job(2).title), QStringLiteral("t2"));
        // The queue is written again, whole, beside the damaged copy.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromStdString(file)), 5000);
        QFile again(QString::fromStdString(file));
        QVERIFY(again.open(QIODevice::ReadOnly));
        const DecodedQueue back = decodeQueue(again.readAll().toStdString());
        QVERIFY(back.whole());
        QCOMPARE(back.rows.size(), std::size_t(3));
    }

    void boardBarsAndSpeeds() {
        auto now = std::chrono::steady_clock::time_point{};
        ProgressBoard board([&] { return now; }, [] { return std::string("D"); });
        ProgressRowAdded added;
        added.queueRow = 4;  // slot 1
        added.state = ProgressState::Running;
        added.job.title = "x";
        board.apply({added, TimerStarted{}});
        Counters c;
        c.slotSize[1] = 1000000;
        c.slotWorkers[1] = 3;
        c.slotRunning[1] = 3;
        c.slotProgressRow[1] = 0;
        c.slotSize[0] = 50;  // the file started last elsewhere
        c.slotWorkers[0] = 1;
        c.connectedCount = 1;
        c.threadBytes[1] = {100000, 200000, 300000};
        c.totalBytes = 600000;
        now += 1000ms;
        board.tick(c);
        QCOMPARE(board.barMaxima()[0], std::int64_t(333333));  // its own worker count
        QCOMPARE(board.barPositions()[2], std::int64_t(300000));
        QCOMPARE(QString::fromStdString(board.fileSpeedPanel()), QStringLiteral("585k/s"));
        QCOMPARE(QString::fromStdString(board.totalSpeedPanel()), QStringLiteral("585k/s"));
        c.threadBytes[1] = {0, 0, 0};  // counters reset when a slot starts its next file
        now += 2000ms;
        board.tick(c);
        QCOMPARE(QString::fromStdString(board.fileSpeedPanel()), QStringLiteral("0k/s"));
        c.totalBytes += 1024000;
        now += 2000ms;
        board.tick(c);
        QCOMPARE(QString::fromStdString(board.totalSpeedPanel()), QStringLiteral("500k/s"));
        QVERIFY(!board.select(0));  // still downloading: bars stay
        QVERIFY(!board.select(std::nullopt));
    }
};

QTEST_GUILESS_MAIN(DownloadSchedulingTest)
#include "test_download_scheduling.moc"
