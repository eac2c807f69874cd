#pragma once

#include "core/ChunkedLineReader.h"
#include "core/FileContribution.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// One API response of a transcript, its copies within the file already folded into one.
struct LoggedResponse
{
    /// Tells the response apart from every other one, across transcripts too (a hash of its message id with its
    /// request id or input-side counts); 0 for a response without a message id, which is never matched.
    uint64_t key = 0;
    /// Index into ParsedLog::responseModels.
    uint32_t model = 0;
    /// Index into ParsedLog::responseDays; -1 when the response has no timestamp.
    int32_t day = -1;
    double input = 0;
    double output = 0;
    double cacheRead = 0;
    double cacheWrite = 0;
    /// The part of cacheWrite that asked for an hour's caching, which costs more than the five-minute kind.
    double cacheWrite1h = 0;

    bool operator==(const LoggedResponse&) const = default;
};

/// What one log file holds: everything but its API responses already in base, and the responses themselves in the
/// order they are booked, so that a response that an earlier transcript repeats can be left out of this one.
/// A Codex rollout has all of its figures in base and no responses.
struct ParsedLog
{
    FileContribution base;
    std::vector<std::string> responseModels;
    std::vector<std::string> responseDays;
    std::vector<LoggedResponse> responses;

    /// base with every response for which counts(index) holds booked in, in order: messages, tokens and cost of its
    /// model, the file's totals and the day's bucket.
    FileContribution contribution(const std::function<bool(size_t)>& counts) const;
    /// base with all responses booked in.
    FileContribution contribution() const;
    /// The figures of the responses for which counts(index) holds, without base.
    FileContribution responseFigures(const std::function<bool(size_t)>& counts) const;

    bool operator==(const ParsedLog&) const = default;

private:
    void book(FileContribution& out, const std::function<bool(size_t)>& counts) const;
};

/// A log file as one read found it.
struct LogRead
{
    ParsedLog log;
    FileRead read;
};
