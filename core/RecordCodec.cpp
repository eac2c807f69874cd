#include "core/RecordCodec.h"

#include "core/ByteStream.h"
#include "core/Hash64.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace RecordCodec {
namespace {

constexpr std::string_view kLogTag = "KVL4";
// Records of the previous Korvel, without the per-day detail: still read, so that what a deleted log held is not
// lost, but marked outdated so that a log that is still there is read again.
constexpr std::string_view kOldLogTag = "KVL3";
constexpr std::string_view kSnapshotTag = "KVS4";
constexpr std::string_view kStateTag = "KVT1";
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

void writeNote(ByteWriter& out, const LogNote& note)
{
    out.byte(static_cast<uint8_t>(note.kind));
    out.byte(note.kept ? 1 : 0);
    out.fixed64(note.zone);
    out.real(note.stamp.mtime);
    out.signedInt(note.stamp.size);
}

LogNote readNote(ByteReader& in)
{
    LogNote note;
    const uint8_t kind = in.byte();
    if (kind > static_cast<uint8_t>(StatsEngine::LogKind::Codex))
        in.fail();
    note.kind = static_cast<StatsEngine::LogKind>(kind);
    const uint8_t kept = in.byte();
    if (kept > 1)
        in.fail();
    note.kept = kept == 1;
    note.zone = in.fixed64();
    note.stamp.mtime = in.real();
    note.stamp.size = in.signedInt();
    return note;
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
    writeNote(out, note);
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
    stored.note = readNote(in);
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

namespace {

void writeSum(ByteWriter& out, const ExactSum& sum)
{
    for (const uint64_t word : sum.words())
        out.fixed64(word);
}

ExactSum readSum(ByteReader& in)
{
    std::array<uint64_t, 4> words{};
    for (uint64_t& word : words)
        word = in.fixed64();
    return ExactSum::fromWords(words);
}

template <typename Map, typename WriteKey> void writeCounts(ByteWriter& out, const Map& counts, WriteKey writeKey)
{
    out.unsignedInt(counts.size());
    for (const auto& [key, count] : counts) {
        writeKey(key);
        out.signedInt(count);
    }
}

template <typename Map, typename ReadKey> Map readCounts(ByteReader& in, ReadKey readKey)
{
    Map counts;
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        auto key = readKey();
        const int64_t count = in.signedInt();
        if (count <= 0)
            in.fail(); // holders are counted: a count that is not positive is damage
        counts.emplace(std::move(key), count);
    }
    return counts;
}

void writeTotals(ByteWriter& out, const LedgerTotals& t)
{
    const auto text = [&](const std::string& s) { out.text(s); };
    out.unsignedInt(t.models.size());
    for (const auto& [id, m] : t.models) {
        out.text(id);
        out.signedInt(m.parts);
        out.signedInt(m.messages);
        for (const ExactSum* sum : {&m.input, &m.output, &m.cacheRead, &m.cacheWrite, &m.cost})
            writeSum(out, *sum);
    }
    writeHours(out, t.byHour);
    for (const int64_t v : {t.prompts, t.assistantMessages, t.linesAdded, t.linesRemoved})
        out.signedInt(v);
    for (const ExactSum* sum : {&t.tokensIn, &t.tokensOut, &t.cacheRead, &t.cacheWrite, &t.cost})
        writeSum(out, *sum);
    out.unsignedInt(t.perDay.size());
    for (const auto& [day, d] : t.perDay) {
        out.text(day);
        for (const int64_t v : {d.parts, d.linesAdded, d.linesRemoved, d.prompts, d.sessions})
            out.signedInt(v);
        for (const ExactSum* sum : {&d.cost, &d.tokens, &d.input, &d.output, &d.cacheRead, &d.cacheWrite})
            writeSum(out, *sum);
        writeCounts(out, d.models, text);
    }
    writeCounts(out, t.activeDays, text);
    writeCounts(out, t.editedFiles, [&](uint64_t hash) { out.fixed64(hash); });
    writeCounts(out, t.minTs, [&](double v) { out.real(v); });
    writeCounts(out, t.maxTs, [&](double v) { out.real(v); });
}

LedgerTotals readTotals(ByteReader& in)
{
    LedgerTotals t;
    const auto text = [&] { return in.text(); };
    const auto real = [&] { return in.real(); };
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string id = in.text();
        LedgerTotals::Model m;
        m.parts = in.signedInt();
        m.messages = in.signedInt();
        for (ExactSum* sum : {&m.input, &m.output, &m.cacheRead, &m.cacheWrite, &m.cost})
            *sum = readSum(in);
        t.models.insert_or_assign(std::move(id), std::move(m));
    }
    t.byHour = readHours(in);
    for (int64_t* v : {&t.prompts, &t.assistantMessages, &t.linesAdded, &t.linesRemoved})
        *v = in.signedInt();
    for (ExactSum* sum : {&t.tokensIn, &t.tokensOut, &t.cacheRead, &t.cacheWrite, &t.cost})
        *sum = readSum(in);
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string day = in.text();
        LedgerTotals::Day d;
        for (int64_t* v : {&d.parts, &d.linesAdded, &d.linesRemoved, &d.prompts, &d.sessions})
            *v = in.signedInt();
        for (ExactSum* sum : {&d.cost, &d.tokens, &d.input, &d.output, &d.cacheRead, &d.cacheWrite})
            *sum = readSum(in);
        d.models = readCounts<std::map<std::string, int64_t>>(in, text);
        t.perDay.insert_or_assign(std::move(day), std::move(d));
    }
    t.activeDays = readCounts<std::map<std::string, int64_t>>(in, text);
    t.editedFiles = readCounts<std::unordered_map<uint64_t, int64_t>>(in, [&] { return in.fixed64(); });
    t.minTs = readCounts<std::map<double, int64_t>>(in, real);
    t.maxTs = readCounts<std::map<double, int64_t>>(in, real);
    return t;
}

} // namespace

std::string encode(const LedgerState& state)
{
    ByteWriter out;
    out.raw(kStateTag);
    out.fixed64(state.setting.low);
    out.fixed64(state.setting.high);
    writeTotals(out, state.totals);
    out.signedInt(state.counted);
    out.unsignedInt(state.notes.size());
    for (const auto& [path, note] : state.notes) {
        out.text(path);
        writeNote(out, note);
    }
    out.unsignedInt(state.fileDays.size());
    for (const auto& [path, days] : state.fileDays) {
        out.text(path);
        out.unsignedInt(days.size());
        for (const int64_t day : days)
            out.signedInt(day);
    }
    // Many: written as they lie in memory (little-endian, like every fixed-width field here).
    out.unsignedInt(state.keys.size());
    out.raw(std::string_view(reinterpret_cast<const char*>(state.keys.data()), state.keys.size() * sizeof(uint32_t)));
    out.unsignedInt(state.shared.size());
    for (const auto& [key, holders] : state.shared) {
        out.fixed64(key);
        writeStrings(out, holders);
    }
    out.unsignedInt(state.rivals.size());
    for (const auto& [identity, files] : state.rivals) {
        out.text(identity);
        writeStrings(out, files);
    }
    return sealed(out, kChecksumSeed);
}

std::optional<LedgerState> decodeState(std::string_view bytes)
{
    const auto body = opened(bytes, kStateTag, kChecksumSeed);
    if (!body)
        return std::nullopt;
    ByteReader in(*body);
    LedgerState state;
    state.setting.low = in.fixed64();
    state.setting.high = in.fixed64();
    state.totals = readTotals(in);
    state.counted = in.signedInt();
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string path = in.text();
        state.notes.insert_or_assign(std::move(path), readNote(in));
    }
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string path = in.text();
        std::vector<int64_t> days;
        for (size_t d = in.count(); d > 0 && in.ok(); --d)
            days.push_back(in.signedInt());
        if (!std::is_sorted(days.begin(), days.end()))
            in.fail();
        state.fileDays.insert_or_assign(std::move(path), std::move(days));
    }
    const size_t keyCount = in.count();
    const std::string_view keyBytes = in.bytes(keyCount * sizeof(uint32_t));
    state.keys.resize(keyBytes.size() / sizeof(uint32_t));
    if (!keyBytes.empty())
        std::memcpy(state.keys.data(), keyBytes.data(), keyBytes.size());
    if (!std::is_sorted(state.keys.begin(), state.keys.end()))
        in.fail();
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        const uint64_t key = in.fixed64();
        state.shared.insert_or_assign(key, readStrings<std::vector<std::string>>(in));
    }
    for (size_t n = in.count(); n > 0 && in.ok(); --n) {
        std::string identity = in.text();
        state.rivals.insert_or_assign(std::move(identity), readStrings<std::vector<std::string>>(in));
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return state;
}

} // namespace RecordCodec
