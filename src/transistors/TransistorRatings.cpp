#include "transistors/TransistorRatings.h"

// Generated at build time from resources/transistors/norvane-ratings.tsv.
#include "transistors/TransistorRatingsData.h"

#include <algorithm>

namespace norvane {

namespace {

constexpr auto& Records = generated::RatingsRecords;
constexpr auto& Seen = generated::RatingSeenValues;

constexpr bool IsSortedByIndex()
{
    for (std::size_t i = 1; i < Records.size(); ++i) {
        if (Records[i - 1].index >= Records[i].index) {
            return false;
        }
    }
    return true;
}

constexpr bool SeenRangesFit()
{
    for (const auto& record : Records) {
        if (record.firstSeen < 0 || record.seenCount < 0 ||
            static_cast<std::size_t>(record.firstSeen) + static_cast<std::size_t>(record.seenCount) >
                Seen.size()) {
            return false;
        }
    }
    return true;
}

// GetTransistorRatings's binary search depends on the order, m_Seen on the
// ranges.
static_assert(IsSortedByIndex(), "ratings not strictly sorted by library index");
static_assert(SeenRangesFit(), "ratings name values seen outside their table");

} // namespace

TransistorRatings GetTransistorRatings(int index)
{
    const auto found = std::ranges::lower_bound(Records, index, {}, &TransistorRatingsRecord::index);
    if (found == Records.end() || found->index != index) {
        return {};
    }
    TransistorRatings ratings;
    ratings.m_Vceo = found->vceo;
    ratings.m_IcMax = found->icMax;
    ratings.m_Ptot = found->ptot;
    ratings.m_Package = found->package;
    ratings.m_VceoSources = found->vceoSources;
    ratings.m_IcMaxSources = found->icMaxSources;
    ratings.m_PtotSources = found->ptotSources;
    ratings.m_PackageSources = found->packageSources;
    ratings.m_Seen = std::span<const RatingSeen>(Seen).subspan(static_cast<std::size_t>(found->firstSeen),
                                                               static_cast<std::size_t>(found->seenCount));
    return ratings;
}

std::string_view GetRatingSourceDescription(std::string_view id)
{
    for (const auto& source : generated::RatingSources) {
        if (source.id == id) {
            return source.description;
        }
    }
    return {};
}

} // namespace norvane
