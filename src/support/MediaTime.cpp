#include "MediaTime.h"

#include <QDebug>

#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace {

using Int128 = __int128;

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();

// Rank of the non-numeric kinds in the total order: -inf < numeric < +inf < indefinite < invalid.
int orderClass(const MediaTime &t)
{
    if (!t.isValid())
        return 4;
    if (t.isIndefinite())
        return 3;
    if (t.isPositiveInfinity())
        return 2;
    if (t.isNegativeInfinity())
        return 0;
    return 1;
}

// a / b rounded to the nearest integer, halves away from zero; b > 0.
Int128 divideRounded(Int128 a, Int128 b)
{
    const Int128 quotient = a / b;
    const Int128 remainder = a % b;
    if (remainder * 2 >= b)
        return quotient + 1;
    if (remainder * 2 <= -b)
        return quotient - 1;
    return quotient;
}

} // namespace

MediaTime MediaTime::withFlags(std::uint32_t flags)
{
    MediaTime t(0, 1);
    t.m_flags = Valid | flags;
    return t;
}

MediaTime MediaTime::positiveInfinity()
{
    return withFlags(PositiveInfinity);
}
MediaTime MediaTime::negativeInfinity()
{
    return withFlags(NegativeInfinity);
}
MediaTime MediaTime::indefinite()
{
    return withFlags(Indefinite);
}

MediaTime MediaTime::fromSeconds(double seconds, std::int32_t preferredTimescale)
{
    if (std::isnan(seconds) || preferredTimescale <= 0)
        return invalid();
    if (std::isinf(seconds))
        return seconds > 0 ? positiveInfinity() : negativeInfinity();
    const long double scaled = static_cast<long double>(seconds) * preferredTimescale;
    if (scaled >= static_cast<long double>(int64Max) || scaled <= static_cast<long double>(int64Min))
        return seconds > 0 ? positiveInfinity() : negativeInfinity();
    const long double rounded = std::round(scaled);
    MediaTime t(static_cast<std::int64_t>(rounded), preferredTimescale);
    if (rounded != scaled)
        t.m_flags |= HasBeenRounded;
    return t;
}

double MediaTime::seconds() const
{
    if (!isNumeric())
        return std::numeric_limits<double>::quiet_NaN();
    return double(m_value) / double(m_timescale);
}

double MediaTime::safeSeconds() const
{
    const double s = seconds();
    return std::isfinite(s) ? s : 0.0;
}

// Whole seconds and the milliseconds after them, both truncated toward zero. Numeric times are
// split exactly from value and timescale, so 5.1 s (153/30) reads 100 ms, not the 99 ms that
// double arithmetic gives; anything else counts as 0 s.
namespace {

std::pair<long long, long long> wholeSecondsAndMilliseconds(const MediaTime &time)
{
    if (!time.isNumeric())
        return {0, 0};
    const Int128 milliseconds = Int128(time.value()) * 1000 / time.timescale();
    return {static_cast<long long>(milliseconds / 1000), static_cast<long long>(milliseconds % 1000)};
}

} // namespace

QString MediaTime::displayString() const
{
    const auto [whole, ms] = wholeSecondsAndMilliseconds(*this);
    return QString::asprintf("%02lld:%02lld.%03lld", whole / 60, whole % 60, ms);
}

QString MediaTime::fileNameString() const
{
    const auto [whole, ms] = wholeSecondsAndMilliseconds(*this);
    return QString::asprintf("%02lld-%02lld-%02lld-%03lld", whole / 3600, (whole % 3600) / 60, whole % 60,
                             ms);
}

MediaTime MediaTime::convertedTo(std::int32_t timescale) const
{
    if (!isNumeric() || timescale <= 0)
        return *this;
    if (timescale == m_timescale)
        return *this;
    const Int128 scaled = Int128(m_value) * timescale;
    const Int128 converted = divideRounded(scaled, m_timescale);
    if (converted > int64Max || converted < int64Min)
        return converted > 0 ? positiveInfinity() : negativeInfinity();
    MediaTime t(static_cast<std::int64_t>(converted), timescale);
    if (converted * m_timescale != scaled || (m_flags & HasBeenRounded))
        t.m_flags |= HasBeenRounded;
    return t;
}

MediaTime MediaTime::measuredFrom(const MediaTime &origin) const
{
    if (!isNumeric() || !origin.isNumeric())
        return *this;
    if (*this <= origin)
        return zero();
    MediaTime elapsed = *this - origin;
    if (!elapsed.isNumeric()) {
        // The timescale common to both cannot hold the difference (a time of 10^15 s measured from a
        // start in 1/15360 s): it is taken in this time's own timescale, the origin rounded to it.
        // The difference of two times of opposite signs can still exceed it; it then holds the most.
        const Int128 originHere = divideRounded(Int128(origin.value()) * m_timescale, origin.timescale());
        const Int128 difference = Int128(m_value) - originHere;
        elapsed = MediaTime(static_cast<std::int64_t>(std::min<Int128>(difference, int64Max)), m_timescale);
        elapsed.m_flags |= HasBeenRounded;
    }
    return elapsed;
}

MediaTime operator-(const MediaTime &a)
{
    if (!a.isValid() || a.isIndefinite())
        return a;
    if (a.isPositiveInfinity())
        return MediaTime::negativeInfinity();
    if (a.isNegativeInfinity())
        return MediaTime::positiveInfinity();
    if (a.value() == int64Min)
        return MediaTime::positiveInfinity();
    MediaTime negated(-a.value(), a.timescale());
    negated.m_flags = a.m_flags;
    return negated;
}

MediaTime operator+(const MediaTime &a, const MediaTime &b)
{
    if (!a.isValid() || !b.isValid())
        return MediaTime::invalid();
    if (a.isIndefinite() || b.isIndefinite())
        return MediaTime::indefinite();
    const bool aInfinite = a.isPositiveInfinity() || a.isNegativeInfinity();
    const bool bInfinite = b.isPositiveInfinity() || b.isNegativeInfinity();
    if (aInfinite || bInfinite) {
        if (aInfinite && bInfinite && a.isPositiveInfinity() != b.isPositiveInfinity())
            return MediaTime::indefinite();
        return aInfinite ? a : b;
    }

    // A common timescale: the least common multiple when it fits, otherwise the larger one, rounding.
    const std::int64_t lcm = std::lcm<std::int64_t>(a.timescale(), b.timescale());
    std::int32_t timescale = lcm <= int32Max ? std::int32_t(lcm) : std::max(a.timescale(), b.timescale());
    const Int128 sum = divideRounded(Int128(a.value()) * timescale, a.timescale()) +
                       divideRounded(Int128(b.value()) * timescale, b.timescale());
    if (sum > int64Max)
        return MediaTime::positiveInfinity();
    if (sum < int64Min)
        return MediaTime::negativeInfinity();
    MediaTime result(static_cast<std::int64_t>(sum), timescale);
    const bool exact = timescale % a.timescale() == 0 && timescale % b.timescale() == 0;
    if (!exact || ((a.flags() | b.flags()) & MediaTime::HasBeenRounded))
        result.m_flags |= MediaTime::HasBeenRounded;
    return result;
}

std::strong_ordering operator<=>(const MediaTime &a, const MediaTime &b)
{
    const int classA = orderClass(a);
    const int classB = orderClass(b);
    if (classA != classB || classA != 1)
        return classA <=> classB;
    // Cross-multiplying in 128 bits cannot overflow: |value| < 2^63 and timescale < 2^31.
    return Int128(a.value()) * b.timescale() <=> Int128(b.value()) * a.timescale();
}

QDebug operator<<(QDebug debug, const MediaTime &time)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "MediaTime(" << time.value() << "/" << time.timescale() << ", flags " << time.flags()
                    << ")";
    return debug;
}
