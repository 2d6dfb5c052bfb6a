// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// What a call at an edge of the program (a file, a script, a URL, a socket) gives back: its
// value, or the message of the failure that kept it from one. Such failures are expected and
// the caller decides what they mean; only what nobody handles is thrown, and that ends in the
// unhandled-error report. Result<> carries no value, only success or a failure.
template<typename T = std::monostate> class Result
{
public:
    Result(T value = T()) : m_value(std::move(value)) { }

    static Result failure(QString message)
    {
        Result result;
        result.m_value.reset();
        result.m_error = std::move(message);
        return result;
    }

    bool ok() const { return m_value.has_value(); }
    // Only for a result that is ok.
    const T &value() const { return *m_value; }
    // Empty for a result that is ok.
    const QString &error() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
};
