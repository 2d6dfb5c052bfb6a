// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <stdexcept>

// The framework's error kinds, for failures that no caller handles: thrown where the failure is
// meant to end the running handler, and reported, kind and message, by the unhandled-error
// report (ErrorReport.h). A failure that a caller handles comes back as a Result (Result.h).
class FrameworkException : public std::runtime_error
{
public:
    FrameworkException(const char *kind, const QString &message)
        : std::runtime_error(message.toStdString()), m_kind(kind), m_message(message)
    { }
    const char *kind() const { return m_kind; }
    const QString &message() const { return m_message; }

private:
    const char *m_kind;
    QString m_message;
};

class IOException : public FrameworkException
{
public:
    explicit IOException(const QString &message, int errorNumber = 0)
        : FrameworkException("IOException", message), m_errorNumber(errorNumber)
    { }
    int errorNumber() const { return m_errorNumber; }

private:
    int m_errorNumber;
};

class NilObjectException : public FrameworkException
{
public:
    explicit NilObjectException(const QString &message) : FrameworkException("NilObjectException", message) { }
};

class RuntimeException : public FrameworkException
{
public:
    explicit RuntimeException(const QString &message) : FrameworkException("RuntimeException", message) { }
};
