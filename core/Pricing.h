#pragma once

#include <string>
#include <string_view>

/// A model's price in US dollars per million tokens.
struct Rate
{
    double inRate = 0;
    double outRate = 0;

    bool operator==(const Rate&) const = default;
};

/// The fixed price list and display names of the models whose tokens are counted.
namespace Pricing {

/// The rate of a model id: the table row for an exact id, otherwise a family rule on the lower-cased id.
Rate baseFor(std::string_view id);

/// The short display name of a model id, with a trailing "-YYYYMMDD" date suffix removed first.
std::string prettyModel(std::string_view id);

/// Dollars for the given token counts: cache reads cost a tenth of the input rate, cache writes 1.25 times it, and
/// the part of the writes that asked for an hour's caching (cacheWrite1h, at most cacheWrite) twice it.
double costOf(const Rate& rate, double input, double output, double cacheRead, double cacheWrite,
              double cacheWrite1h = 0);

} // namespace Pricing
