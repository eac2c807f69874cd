#pragma once

#include "core/UsageRows.h"

#include <cstdint>

/// The figures every usage report row has, each described once: its JSON member, its column title and how it is
/// written (a count, a token count or money). The JSON and the tables both follow this table.
struct FigureColumn
{
    enum class Kind { Count, Tokens, Money };

    const char* member;
    const char* title;
    Kind kind;
    int64_t UsageFigures::*count = nullptr;
    double UsageFigures::*amount = nullptr;
};

// clang-format off
inline constexpr FigureColumn kFigureColumns[] = {
    {"linesAdded",       "Lines +",     FigureColumn::Kind::Count,  &UsageFigures::linesAdded},
    {"linesRemoved",     "Lines -",     FigureColumn::Kind::Count,  &UsageFigures::linesRemoved},
    {"prompts",          "Prompts",     FigureColumn::Kind::Count,  &UsageFigures::prompts},
    {"sessions",         "Sessions",    FigureColumn::Kind::Count,  &UsageFigures::sessions},
    {"inputTokens",      "Input",       FigureColumn::Kind::Tokens, nullptr, &UsageFigures::inputTokens},
    {"outputTokens",     "Output",      FigureColumn::Kind::Tokens, nullptr, &UsageFigures::outputTokens},
    {"cacheReadTokens",  "Cache read",  FigureColumn::Kind::Tokens, nullptr, &UsageFigures::cacheReadTokens},
    {"cacheWriteTokens", "Cache write", FigureColumn::Kind::Tokens, nullptr, &UsageFigures::cacheWriteTokens},
    {"cost",             "Cost",        FigureColumn::Kind::Money,  nullptr, &UsageFigures::cost},
};
// clang-format on
