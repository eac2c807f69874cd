#include "core/ParallelParse.h"

#include "core/ChunkedLineReader.h"
#include "core/ClaudeReader.h"
#include "core/CodexParser.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace StatsEngine {

LogRead readLog(const std::string& path, LogKind kind, ParseScratch& scratch)
{
    return kind == LogKind::Claude ? readClaudeLog(path, scratch) : CodexParser::readRollout(path, scratch);
}

} // namespace StatsEngine

void parseInParallel(std::vector<ParseJob>& jobs)
{
    std::vector<ParseJob*> order;
    order.reserve(jobs.size());
    for (ParseJob& job : jobs)
        order.push_back(&job);
    std::stable_sort(order.begin(), order.end(),
                     [](const ParseJob* a, const ParseJob* b) { return a->sizeHint > b->sizeHint; });

    std::atomic<size_t> next{0};
    LongLineTurn longLines;
    const auto work = [&] {
        ParseScratch scratch(&longLines);
        for (size_t i = next++; i < order.size(); i = next++)
            order[i]->result = StatsEngine::readLog(order[i]->path, order[i]->kind, scratch);
    };
    const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), order.size());
    std::vector<std::jthread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
}
