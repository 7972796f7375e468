#pragma once

// Stores `value` in `stored` and emits `object`'s `changed` signal only when the two differed.
// The value is stored either way: values that compare equal may still differ in what equality
// leaves out.
template<typename Object, typename T, typename Signal>
void assignIfDifferent(Object *object, T &stored, const T &value, Signal changed)
{
    const bool differs = !(stored == value);
    stored = value;
    if (differs)
        emit(object->*changed)();
}
