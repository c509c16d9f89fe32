#include "download/queuerows.h"

#include <sys/stat.h>

#include <algorithm>

#include "download/filename.h"
#include "download/partfiles.h"

namespace melorin::download {
namespace {

bool existsOnDisk(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool keptInQueueFile(RowState state) {
    return state == RowState::Waiting || state == RowState::Probing || state == RowState::Running ||
           state == RowState::Failed;
}

std::string QueueRows::freePath(const std::string& wanted, bool avoidFiles,
                                const std::string& own) {
    const auto hint = nextNumber_.find(wanted);
    const int n = freeNumber(
        wanted,
        [&](const std::string& p) {
            return paths_.contains(p) || (avoidFiles && p != own && existsOnDisk(p));
        },
        // A row that moves looks from the start: its own old name may be the free one.
        hint == nextNumber_.end() || !own.empty() ? 2 : hint->second);
    if (n == 0) return wanted;
    if (hint == nextNumber_.end() || n >= hint->second)
        nextNumber_[wanted] = n + 1;  // where the next row of this name starts looking
    return numberedPath(wanted, n);
}

int QueueRows::add(DownloadJob job, bool avoidFiles) {
    job.savePath = freePath(job.savePath, avoidFiles);
    paths_.insert(job.savePath);
    rows_.push_back({std::move(job)});
    return size() - 1;
}

void QueueRows::remove(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (!has(*it)) continue;
        const QueueRow& r = (*this)[*it];
        // A removed row's received bytes can never be used again.
        if (r.state != RowState::Finished) discardPart(r.job.savePath);
        paths_.erase(r.job.savePath);
        rows_.erase(rows_.begin() + *it);
    }
}

void QueueRows::clear() {
    std::vector<int> all(rows_.size());
    for (int r = 0; r < size(); ++r) all[static_cast<std::size_t>(r)] = r;
    remove(std::move(all));
}

void QueueRows::moveTo(int row, const std::string& path) {
    DownloadJob& job = (*this)[row].job;
    paths_.erase(job.savePath);
    const std::string moved = freePath(path, true, job.savePath);
    // Bytes an earlier run received go along; the state names no path.
    if (!movePart(job.savePath, moved)) discardPart(job.savePath);
    job.savePath = moved;
    paths_.insert(moved);
}

std::vector<DownloadJob> QueueRows::jobs() const {
    std::vector<DownloadJob> out;
    out.reserve(rows_.size());
    for (const QueueRow& r : rows_) out.push_back(r.job);
    return out;
}

std::vector<DownloadJob> QueueRows::keptJobs() const {
    std::vector<DownloadJob> out;
    for (const QueueRow& r : rows_)
        if (keptInQueueFile(r.state)) out.push_back(r.job);
    return out;
}

}  // namespace melorin::download
