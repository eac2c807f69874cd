#pragma once

#include "prefs/Prefs.h"

/// Clears every preference before and after a test, so that each test starts from the zero store.
class PrefsGuard
{
public:
    PrefsGuard() { clear(); }
    ~PrefsGuard() { clear(); }
    PrefsGuard(const PrefsGuard&) = delete;
    PrefsGuard& operator=(const PrefsGuard&) = delete;

private:
    static void clear()
    {
        for (const PrefRow& row : Prefs::table())
            Prefs::remove(row.key);
    }
};
