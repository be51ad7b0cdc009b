#pragma once

#include <QString>
#include <exception>

namespace kiv {

// Base of every error the system raises on purpose. The text is what the
// operator reads; what() gives it in UTF-8 for logs and test failures.
class KivError : public std::exception
{
public:
    explicit KivError(QString message) : m_message(std::move(message)),
        m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Raised by the table store: missing or unreadable file, bad filter,
// unknown field, a field of another type or size, an operation the
// table's state does not allow.
class EDatabaseError : public KivError
{
public:
    using KivError::KivError;
};

// Raised when a text does not read as a number.
class EConvertError : public KivError
{
public:
    using KivError::KivError;
};

// The silent stop: a validation has already shown its message, and the
// operation in progress ends here without a further word.
class EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "aborted"; }
};

} // namespace kiv
