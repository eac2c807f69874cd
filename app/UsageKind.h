#pragma once

/// Which usage report a table or a JSON document holds.
enum class UsageKind {
    Daily,
    Monthly,
    Projects,
    Models,
    Sessions,
};
