#pragma once

#include "support/AppError.h"

#include <utility>
#include <variant>

// The outcome of an operation that can fail: a value, or the error the user will read.
template<typename T>
class Result
{
public:
    Result(T value) : m_outcome(std::in_place_index<0>, std::move(value)) {}
    Result(AppError error) : m_outcome(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_outcome); }
    T &&value() && { return std::get<0>(std::move(m_outcome)); }
    const AppError &error() const { return std::get<1>(m_outcome); }

private:
    std::variant<T, AppError> m_outcome;
};
