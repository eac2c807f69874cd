#include "core/ParallelParse.h"

#include "core/ChunkedLineReader.h"
#include "core/ClaudeReader.h"
#include "core/CodexParser.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace StatsEngine {

LogRead readLog(const std::string& path, LogKind kind, ParseScratch& scratch)
{
    return kind == LogKind::Claude ? readClaudeLog(path, scratch) : CodexParser::readRollout(path, scratch);
}

} // namespace StatsEngine

void parseInParallel(std::vector<ParseJob>& jobs, const std::function<void(ParseJob&)>& done)
{
    std::vector<ParseJob*> order;
    order.reserve(jobs.size());
    for (ParseJob& job : jobs)
        order.push_back(&job);
    std::stable_sort(order.begin(), order.end(),
                     [](const ParseJob* a, const ParseJob* b) { return a->sizeHint > b->sizeHint; });

    std::atomic<size_t> next{0};
    LongLineTurn longLines;
    std::mutex finishedLock;
    std::vector<ParseJob*> finished;
    const auto read = [&](ParseScratch& scratch, size_t i) {
        order[i]->result = StatsEngine::readLog(order[i]->path, order[i]->kind, scratch);
    };
    const auto helper = [&] {
        ParseScratch scratch(&longLines);
        for (size_t i = next++; i < order.size(); i = next++) {
            read(scratch, i);
            if (done) {
                const std::lock_guard lock(finishedLock);
                finished.push_back(order[i]);
            }
        }
    };
    const auto takeFinished = [&] {
        std::vector<ParseJob*> taken;
        {
            const std::lock_guard lock(finishedLock);
            taken.swap(finished);
        }
        for (ParseJob* job : taken)
            done(*job);
    };
    const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), order.size());
    {
        std::vector<std::jthread> helpers;
        for (size_t t = 1; t < threads; ++t)
            helpers.emplace_back(helper);
        ParseScratch scratch(&longLines);
        for (size_t i = next++; i < order.size(); i = next++) {
            read(scratch, i);
            if (done) {
                done(*order[i]);
                takeFinished();
            }
        }
    }
    if (done)
        takeFinished();
}
