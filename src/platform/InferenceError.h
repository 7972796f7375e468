#pragma once

#include <QString>

#include <stdexcept>

// A model the inference engine cannot load, or a run it cannot complete. The message is written for
// the user (French) and names what was refused.
class InferenceError : public std::runtime_error
{
public:
    explicit InferenceError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}

    QString message() const { return m_message; }

private:
    QString m_message;
};
