#include "sync/SyncMemory.h"

#include "core/TimeKit.h"
#include "prefs/Prefs.h"

namespace SyncMemory {

void record(const QString& signature, double now)
{
    Prefs::setText(PrefKey::LastSyncDate, QString::fromStdString(TimeKit::dateKey(now)));
    Prefs::setReal(PrefKey::LastSyncTimestamp, now);
    Prefs::setText(PrefKey::LastSyncSignature, signature);
}

void forget()
{
    for (const PrefKey key : {PrefKey::LastSyncDate, PrefKey::LastSyncTimestamp, PrefKey::LastSyncSignature})
        if (Prefs::has(key))
            Prefs::remove(key);
}

bool rowKept()
{
    return Prefs::has(PrefKey::LastSyncTimestamp) || Prefs::has(PrefKey::LastSyncSignature);
}

} // namespace SyncMemory
