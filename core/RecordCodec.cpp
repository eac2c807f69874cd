#include "core/RecordCodec.h"

#include "core/ByteStream.h"
#include "core/Hash64.h"

#include <cmath>

namespace RecordCodec {
namespace {

constexpr std::string_view kLogTag = "KVL4";
// Records of the previous Korvel, without the per-day detail: still read, so that what a deleted log held is not
// lost, but marked outdated so that a log that is still there is read again.
constexpr std::string_view kOldLogTag = "KVL3";
constexpr std::string_view kSnapshotTag = "KVS4";
constexpr uint64_t kChecksumSeed = 0x6b6f7276656c0001ULL;
constexpr double kLargest = 1e30;

std::string sealed(ByteWriter& out, uint64_t seed)
{
    out.fixed64(hash64(out.bytes(), seed));
    return out.take();
}

// The body between tag and checksum, when both are right.
std::optional<std::string_view> opened(std::string_view bytes, std::string_view tag, uint64_t seed)
{
    if (bytes.size() < tag.size() + 8 || bytes.substr(0, tag.size()) != tag)
        return std::nullopt;
    const std::string_view signedPart = bytes.substr(0, bytes.size() - 8);
    ByteReader checksum(bytes.substr(bytes.size() - 8));
    if (checksum.fixed64() != hash64(signedPart, seed))
        return std::nullopt;
    return signedPart.substr(tag.size());
}

// Counts are never negative, and no log file holds 2^40 lines; bounding them keeps every sum of them in range.
int64_t tally(ByteReader& in)
{
    constexpr int64_t kMostCount = int64_t{1} << 40;
    const int64_t value = in.signedInt();
    if (value < 0 || value > kMostCount)
        in.fail();
    return value;
}

// Figures are finite and of a size that counts can have; anything else marks a damaged record.
double figure(ByteReader& in)
{
    const double value = in.number();
    if (!std::isfinite(value) || std::fabs(value) > kLargest)
        in.fail();
    return value;
}

template <typename Strings> void writeStrings(ByteWriter& out, const Strings& strings)
{
    out.unsignedInt(strings.size());
    for (const std::string& s : strings)
        out.text(s);
}

template <typename Strings> Strings readStrings(ByteReader& in)
{
    Strings strings;
    for (size_t n = in.count(); n > 0 && in.ok(); --n)
        strings.insert(strings.end(), in.text());
    return strings;
}

void writeModels(ByteWriter& out, const std::map<std::string, ModelAcc>& models)
{
    out.unsignedInt(models.size());
    for (const auto& [id, acc] : models) {
        out.text(id);
        out.signedInt(acc.messages);
        for (const double v : {acc.input, acc.output, acc.cacheRead, acc.cacheWrite, acc.cost})
            out.number(v);
    }
}

// What a record of the previous Korvel lacks is left empty.
struct Layout
{
    bool detailed = true;
};

std::map<std::string, ModelAcc> readModels(ByteReader& in, Layout layout)
{
    std::map<std::string, ModelAcc> models;
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string id = in.text();
        ModelAcc acc;
        acc.messages = tally(in);
        acc.input = figure(in);
        acc.output = figure(in);
        acc.cacheRead = figure(in);
        acc.cacheWrite = figure(in);
        if (layout.detailed)
            acc.cost = figure(in);
        models.insert_or_assign(std::move(id), acc);
    }
    return models;
}

void writeDays(ByteWriter& out, const std::map<std::string, DayBucket>& days)
{
    out.unsignedInt(days.size());
    for (const auto& [day, bucket] : days) {
        out.text(day);
        out.signedInt(bucket.linesAdded);
        out.number(bucket.cost);
        out.number(bucket.tokens);
        for (const int64_t v : {bucket.linesRemoved, bucket.prompts, bucket.sessions})
            out.signedInt(v);
        for (const double v : {bucket.input, bucket.output, bucket.cacheRead, bucket.cacheWrite})
            out.number(v);
        writeStrings(out, bucket.models);
    }
}

std::map<std::string, DayBucket> readDays(ByteReader& in, Layout layout)
{
    std::map<std::string, DayBucket> days;
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string day = in.text();
        DayBucket bucket;
        bucket.linesAdded = tally(in);
        bucket.cost = figure(in);
        bucket.tokens = figure(in);
        if (layout.detailed) {
            bucket.linesRemoved = tally(in);
            bucket.prompts = tally(in);
            bucket.sessions = tally(in);
            bucket.input = figure(in);
            bucket.output = figure(in);
            bucket.cacheRead = figure(in);
            bucket.cacheWrite = figure(in);
            bucket.models = readStrings<std::set<std::string>>(in);
        }
        days.insert_or_assign(std::move(day), std::move(bucket));
    }
    return days;
}

void writeHours(ByteWriter& out, const std::array<int64_t, 24>& hours)
{
    for (const int64_t h : hours)
        out.signedInt(h);
}

std::array<int64_t, 24> readHours(ByteReader& in)
{
    std::array<int64_t, 24> hours{};
    for (int64_t& h : hours)
        h = tally(in);
    return hours;
}

void writeRange(ByteWriter& out, const std::optional<double>& first, const std::optional<double>& last)
{
    out.byte(first && last ? 1 : 0);
    if (first && last) {
        out.number(*first);
        out.number(*last);
    }
}

void readRange(ByteReader& in, std::optional<double>& first, std::optional<double>& last)
{
    const uint8_t present = in.byte();
    if (present > 1)
        in.fail();
    if (present != 1)
        return;
    first = figure(in);
    last = figure(in);
    if (*first > *last)
        in.fail();
}

void writeContribution(ByteWriter& out, const FileContribution& c)
{
    writeModels(out, c.models);
    writeStrings(out, c.activeDays);
    writeHours(out, c.byHour);
    for (const int64_t v : {c.prompts, c.assistantMessages, c.linesAdded, c.linesRemoved})
        out.signedInt(v);
    for (const double v : {c.tokensIn, c.tokensOut, c.cacheRead, c.cacheWrite, c.cost})
        out.number(v);
    writeStrings(out, c.editedFiles);
    writeRange(out, c.minTs, c.maxTs);
    writeDays(out, c.perDay);
    out.text(c.project);
}

FileContribution readContribution(ByteReader& in, Layout layout)
{
    FileContribution c;
    c.models = readModels(in, layout);
    c.activeDays = readStrings<std::set<std::string>>(in);
    c.byHour = readHours(in);
    c.prompts = tally(in);
    c.assistantMessages = tally(in);
    c.linesAdded = tally(in);
    c.linesRemoved = tally(in);
    c.tokensIn = figure(in);
    c.tokensOut = figure(in);
    c.cacheRead = figure(in);
    c.cacheWrite = figure(in);
    c.cost = figure(in);
    c.editedFiles = readStrings<std::set<std::string>>(in);
    readRange(in, c.minTs, c.maxTs);
    c.perDay = readDays(in, layout);
    if (layout.detailed)
        c.project = in.text();
    return c;
}

// A rollout of the previous Korvel: all of its figures were on its last day, which is all its days held.
void detailCodexDays(FileContribution& c)
{
    for (auto& [id, acc] : c.models)
        acc.cost = c.cost;
    if (c.perDay.empty())
        return;
    DayBucket& last = c.perDay.rbegin()->second;
    last.linesRemoved = c.linesRemoved;
    last.prompts = c.prompts;
    last.input = c.tokensIn;
    last.output = c.tokensOut;
    last.cacheRead = c.cacheRead;
    for (const auto& [id, acc] : c.models)
        last.models.insert(id);
    if (!c.activeDays.empty())
        c.perDay[*c.activeDays.begin()].sessions = 1;
}

void writeResponses(ByteWriter& out, const ParsedLog& log)
{
    writeStrings(out, log.responseModels);
    writeStrings(out, log.responseDays);
    out.unsignedInt(log.responses.size());
    for (const LoggedResponse& r : log.responses) {
        out.fixed64(r.key);
        out.unsignedInt(r.model);
        out.unsignedInt(static_cast<uint64_t>(r.day + 1));
        for (const double v : {r.input, r.output, r.cacheRead, r.cacheWrite, r.cacheWrite1h})
            out.number(v);
    }
}

void readResponses(ByteReader& in, ParsedLog& log)
{
    log.responseModels = readStrings<std::vector<std::string>>(in);
    log.responseDays = readStrings<std::vector<std::string>>(in);
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        LoggedResponse r;
        r.key = in.fixed64();
        const uint64_t model = in.unsignedInt();
        const uint64_t day = in.unsignedInt();
        if (model >= log.responseModels.size() || day > log.responseDays.size())
            in.fail();
        r.model = static_cast<uint32_t>(model);
        r.day = static_cast<int32_t>(day) - 1;
        r.input = figure(in);
        r.output = figure(in);
        r.cacheRead = figure(in);
        r.cacheWrite = figure(in);
        r.cacheWrite1h = figure(in);
        if (r.cacheWrite1h < 0 || r.cacheWrite1h > r.cacheWrite)
            in.fail();
        log.responses.push_back(r);
    }
}

} // namespace

std::string encode(std::string_view path, const LogNote& note, const ParsedLog& log)
{
    ByteWriter out;
    out.raw(kLogTag);
    out.byte(static_cast<uint8_t>(note.kind));
    out.byte(note.kept ? 1 : 0);
    out.fixed64(note.zone);
    out.real(note.stamp.mtime);
    out.signedInt(note.stamp.size);
    writeContribution(out, log.base);
    writeResponses(out, log);
    return sealed(out, hash64(path, kChecksumSeed));
}

std::optional<StoredLog> decodeLog(std::string_view path, std::string_view bytes)
{
    const uint64_t seed = hash64(path, kChecksumSeed);
    auto body = opened(bytes, kLogTag, seed);
    const Layout layout{body.has_value()};
    if (!body)
        body = opened(bytes, kOldLogTag, seed);
    if (!body)
        return std::nullopt;
    ByteReader in(*body);
    StoredLog stored;
    const uint8_t kind = in.byte();
    if (kind > static_cast<uint8_t>(StatsEngine::LogKind::Codex))
        in.fail();
    stored.note.kind = static_cast<StatsEngine::LogKind>(kind);
    const uint8_t kept = in.byte();
    if (kept > 1)
        in.fail();
    stored.note.kept = kept == 1;
    stored.note.zone = in.fixed64();
    stored.note.stamp.mtime = in.real();
    stored.note.stamp.size = in.signedInt();
    stored.log.base = readContribution(in, layout);
    readResponses(in, stored.log);
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    stored.outdated = !layout.detailed;
    if (stored.outdated && stored.note.kind == StatsEngine::LogKind::Codex)
        detailCodexDays(stored.log.base);
    return stored;
}

std::string encode(const FoldSnapshot& snapshot)
{
    const FoldSummary& f = snapshot.fold;
    ByteWriter out;
    out.raw(kSnapshotTag);
    out.fixed64(snapshot.fingerprint.low);
    out.fixed64(snapshot.fingerprint.high);
    writeModels(out, f.models);
    writeHours(out, f.byHour);
    for (const int64_t v : {f.prompts, f.assistantMessages, f.linesAdded, f.linesRemoved, f.filesEdited, f.logFiles})
        out.signedInt(v);
    for (const double v : {f.tokensIn, f.tokensOut, f.cacheRead, f.cacheWrite, f.cost})
        out.number(v);
    writeRange(out, f.firstTs, f.lastTs);
    writeDays(out, f.perDay);
    writeStrings(out, f.activeDays);
    out.unsignedInt(f.fileDays.size());
    for (const int64_t day : f.fileDays)
        out.signedInt(day);
    out.unsignedInt(f.fileDayEnds.size());
    for (const uint32_t end : f.fileDayEnds)
        out.unsignedInt(end);
    return sealed(out, kChecksumSeed);
}

std::optional<FoldSnapshot> decodeSnapshot(std::string_view bytes)
{
    const auto body = opened(bytes, kSnapshotTag, kChecksumSeed);
    if (!body)
        return std::nullopt;
    ByteReader in(*body);
    FoldSnapshot snapshot;
    FoldSummary& f = snapshot.fold;
    snapshot.fingerprint.low = in.fixed64();
    snapshot.fingerprint.high = in.fixed64();
    f.models = readModels(in, {});
    f.byHour = readHours(in);
    f.prompts = tally(in);
    f.assistantMessages = tally(in);
    f.linesAdded = tally(in);
    f.linesRemoved = tally(in);
    f.filesEdited = tally(in);
    f.logFiles = tally(in);
    f.tokensIn = figure(in);
    f.tokensOut = figure(in);
    f.cacheRead = figure(in);
    f.cacheWrite = figure(in);
    f.cost = figure(in);
    readRange(in, f.firstTs, f.lastTs);
    f.perDay = readDays(in, {});
    f.activeDays = readStrings<std::vector<std::string>>(in);
    if (!std::is_sorted(f.activeDays.begin(), f.activeDays.end()))
        in.fail();
    for (size_t n = in.count(); n > 0 && in.ok(); --n)
        f.fileDays.push_back(in.signedInt());
    uint32_t begin = 0;
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        const uint64_t end = in.unsignedInt();
        // Each file's days are an ascending run that ends within the list.
        if (end < begin || end > f.fileDays.size() ||
            !std::is_sorted(f.fileDays.begin() + begin, f.fileDays.begin() + static_cast<ptrdiff_t>(end)))
            in.fail();
        else
            begin = static_cast<uint32_t>(end);
        f.fileDayEnds.push_back(begin);
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return snapshot;
}

} // namespace RecordCodec
