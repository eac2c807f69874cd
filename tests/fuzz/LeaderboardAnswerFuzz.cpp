// The backend's answer to the board call. Whatever the bytes, the board that comes out is one a window can show:
// at most ten entries a list, positive ranks, whole non-negative figures, own places within their lists, and names
// of at most 39 characters without a control character.

#include "sync/Leaderboard.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>

namespace {

bool plain(const QString& name)
{
    for (const QChar c : name)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            return false;
    return name.size() <= Leaderboard::kNameLength;
}

void requireShowable(const BoardList& list)
{
    require(list.top.size() <= Leaderboard::kTopCount, "at most ten entries a list");
    require(list.of >= 0, "a list's size is not negative");
    for (const BoardEntry& entry : list.top) {
        require(entry.rank >= 1 && entry.value >= 0, "ranks are positive, figures not negative");
        require(plain(entry.name), "a name is short plain text");
    }
    if (list.me)
        require(list.me->rank >= 1 && list.me->rank <= list.me->of && list.me->value >= 0,
                "an own place lies within its list");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto board =
        Leaderboard::fromJson(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (board) {
        requireShowable(board->score);
        requireShowable(board->week);
        requireShowable(board->today);
    }
    return 0;
}
