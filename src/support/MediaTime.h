#pragma once

#include <QMetaType>
#include <QString>

#include <compare>
#include <cstdint>

// A position in a video as an exact rational number of seconds: value / timescale.
// Times keep the value and timescale they were made with; comparison is by rational value,
// so 1/30 s equals 2/60 s.
class MediaTime
{
public:
    enum Flag : std::uint32_t {
        Valid = 1u << 0,
        HasBeenRounded = 1u << 1,
        PositiveInfinity = 1u << 2,
        NegativeInfinity = 1u << 3,
        Indefinite = 1u << 4,
    };

    // The invalid time.
    constexpr MediaTime() = default;
    // A valid time of value / timescale seconds.
    constexpr MediaTime(std::int64_t value, std::int32_t timescale)
        : m_value(value), m_timescale(timescale), m_flags(Valid)
    {}

    static constexpr MediaTime zero() { return MediaTime(0, 1); }
    static constexpr MediaTime invalid() { return MediaTime(); }
    static MediaTime positiveInfinity();
    static MediaTime negativeInfinity();
    static MediaTime indefinite();
    // The nearest time to `seconds` in units of 1/preferredTimescale; marked as rounded when inexact.
    static MediaTime fromSeconds(double seconds, std::int32_t preferredTimescale);

    std::int64_t value() const { return m_value; }
    std::int32_t timescale() const { return m_timescale; }
    std::uint32_t flags() const { return m_flags; }

    bool isValid() const { return (m_flags & Valid) && m_timescale > 0; }
    bool isPositiveInfinity() const { return isValid() && (m_flags & PositiveInfinity); }
    bool isNegativeInfinity() const { return isValid() && (m_flags & NegativeInfinity); }
    bool isIndefinite() const { return isValid() && (m_flags & Indefinite); }
    bool isNumeric() const
    {
        return isValid() && !(m_flags & (PositiveInfinity | NegativeInfinity | Indefinite));
    }

    // value / timescale as a double (NaN for a time that is not numeric).
    double seconds() const;
    // The seconds when they are a finite number, 0 otherwise.
    double safeSeconds() const;
    // "mm:ss.mmm", minutes not wrapped into hours, milliseconds truncated.
    QString displayString() const;
    // "hh-mm-ss-mmm", milliseconds truncated.
    QString fileNameString() const;

    // The same instant in another timescale, rounded to the nearest unit.
    MediaTime convertedTo(std::int32_t timescale) const;
    // This time as the user reads it: measured from `origin`, a video's first frame, and never
    // before it. Times that are not numeric, or an origin that is not, leave the time as it is.
    MediaTime measuredFrom(const MediaTime &origin) const;

    friend MediaTime operator+(const MediaTime &a, const MediaTime &b);
    friend MediaTime operator-(const MediaTime &a);
    friend MediaTime operator-(const MediaTime &a, const MediaTime &b) { return a + (-b); }
    friend std::strong_ordering operator<=>(const MediaTime &a, const MediaTime &b);
    friend bool operator==(const MediaTime &a, const MediaTime &b) { return (a <=> b) == 0; }

private:
    static MediaTime withFlags(std::uint32_t flags);

    std::int64_t m_value = 0;
    std::int32_t m_timescale = 0;
    std::uint32_t m_flags = 0;
};

QDebug operator<<(QDebug debug, const MediaTime &time);

Q_DECLARE_METATYPE(MediaTime)
