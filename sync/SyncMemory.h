#pragma once

#include <QString>

/// What the leaderboard remembers of its last successful write, in three preferences: the local day, the time and
/// the signature of the row. They belong to the account that wrote the row and go when it does.
namespace SyncMemory {

/// After a successful upsert at now (seconds since 1970).
void record(const QString& signature, double now);
/// Forgets the last sync: the account changed or its row was removed.
void forget();
/// True while a row written from here may still be on the board.
bool rowKept();

} // namespace SyncMemory
