#pragma once

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

// The settings of a document, each declared once as a type that says what it is:
//
//   Type            the value the document holds, with `static Type defaultValue()`;
//   key             the setting's name in change notifications;
//   member          its member in a project file, and `Stored`, the value written there, with
//                   `static Stored stored(const Type &)` and
//                   `static Type fromStored(const Stored &, const Type &current)`; a `std::optional`
//                   member is left out of the file when empty;
//   limited         `static Type limited(const Type &)` brings a value read from a file into the
//                   range the controls offer;
//   stepText, actionText, continuous   its undo step: the step's names (untranslated, see
//                   settingText), and whether the changes of
//                   one drag merge into one step.
//
// `SettingList` holds the values of all of them, in the document's form (`Values`) and in the
// file's (`Stored`), and maps one onto the other.
template<typename... Settings>
class SettingList
{
    template<typename Wanted, std::size_t... indices>
    static constexpr std::size_t find(std::index_sequence<indices...>)
    {
        std::size_t found = sizeof...(Settings);
        ((std::is_same_v<Wanted, Settings> ? (found = indices, 0) : 0), ...);
        return found;
    }

public:
    static constexpr std::size_t size = sizeof...(Settings);

    template<typename Setting>
    static constexpr std::size_t indexOf = find<Setting>(std::index_sequence_for<Settings...>{});

    // Calls `visit.template operator()<Setting>()` for each setting, in the order declared.
    template<typename Visit>
    static void forEach(Visit &&visit)
    {
        (visit.template operator()<Settings>(), ...);
    }

    // The values of the settings as the document holds them; defaults unless set.
    class Values
    {
    public:
        Values() : m_values(Settings::defaultValue()...) {}

        template<typename Setting>
        const auto &get() const
        {
            static_assert(indexOf<Setting> < sizeof...(Settings), "not a setting of this list");
            return std::get<indexOf<Setting>>(m_values);
        }
        template<typename Setting>
        void set(const typename Setting::Type &value)
        {
            static_assert(indexOf<Setting> < sizeof...(Settings), "not a setting of this list");
            std::get<indexOf<Setting>>(m_values) = value;
        }

        friend bool operator==(const Values &, const Values &) = default;

    private:
        std::tuple<typename Settings::Type...> m_values;
    };

    // The values of the settings as a project file stores them.
    class Stored
    {
    public:
        Stored() : m_values(Settings::stored(Settings::defaultValue())...) {}

        template<typename Setting>
        const auto &get() const
        {
            static_assert(indexOf<Setting> < sizeof...(Settings), "not a setting of this list");
            return std::get<indexOf<Setting>>(m_values);
        }
        template<typename Setting>
        auto &get()
        {
            static_assert(indexOf<Setting> < sizeof...(Settings), "not a setting of this list");
            return std::get<indexOf<Setting>>(m_values);
        }

        friend bool operator==(const Stored &, const Stored &) = default;

    private:
        std::tuple<typename Settings::Stored...> m_values;
    };

    static Stored stored(const Values &values)
    {
        Stored stored;
        forEach([&]<typename Setting>() {
            stored.template get<Setting>() = Setting::stored(values.template get<Setting>());
        });
        return stored;
    }

    // The values read from a file, within their limits; `current` gives the document's values for the
    // settings whose stored value names something that may be gone (a folder).
    static Values fromStored(const Stored &stored, const Values &current)
    {
        Values values;
        forEach([&]<typename Setting>() {
            values.template set<Setting>(Setting::limited(
                Setting::fromStored(stored.template get<Setting>(), current.template get<Setting>())));
        });
        return values;
    }
};

// The part of a setting's declaration that most settings share: stored as held, no limits, one step
// per change.
template<typename T>
struct PlainSetting
{
    using Type = T;
    using Stored = T;
    static constexpr bool continuous = false;

    static Stored stored(const Type &value) { return value; }
    static Type fromStored(const Stored &stored, const Type &) { return stored; }
    static Type limited(const Type &value) { return value; }
};
