#pragma once

#include "sync/PublicProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

/// One line of a list: equal figures share a rank.
struct BoardEntry
{
    int64_t rank = 0;
    QString name;
    int64_t value = 0;

    bool operator==(const BoardEntry&) const = default;
};

/// A user's own place on a list: "#1,204 of 53,117".
struct BoardStanding
{
    int64_t rank = 0;
    int64_t of = 0;
    int64_t value = 0;

    bool operator==(const BoardStanding&) const = default;
};

/// One list of the board: its top entries, how many rows it holds, and the user's own place when known.
struct BoardList
{
    QList<BoardEntry> top;
    int64_t of = 0;
    std::optional<BoardStanding> me;

    bool operator==(const BoardList&) const = default;
};

/// The leaderboard as the backend's "board" call answers it: by score, by lines added this week, by lines added
/// today.
struct Leaderboard
{
    static constexpr int kTopCount = 10;
    /// The longest name shown, as the profiles table takes it; longer ones are cut with an ellipsis.
    static constexpr int kNameLength = PublicProfile::kNameLength;

    /// The three lists in the order readers show them: a title, the JSON key, the member.
    struct ListRow
    {
        const char* title;
        const char* key;
        BoardList Leaderboard::*list;
    };
    static const ListRow kLists[3];

    BoardList score;
    BoardList week;
    BoardList today;

    /// The board from the answer's JSON, absent when it is not an object holding the three lists. Whatever the
    /// server sends, entries that are not well formed are dropped, at most the first ten are kept, and names come
    /// out as plain text (control and format characters replaced, cut to kNameLength).
    static std::optional<Leaderboard> fromJson(const QByteArray& json);

    bool operator==(const Leaderboard&) const = default;
};
