// The project's error base: every component error derives from QvError and
// carries the message the user sees.
#pragma once
#include <QString>
#include <exception>
#include <string>

class QvError : public std::exception {
public:
    explicit QvError(const QString& message)
        : m_message(message), m_utf8(message.toStdString()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

// Declares a component error class with the given name.
#define QV_DECLARE_ERROR(Name)                                              \
    class Name : public QvError {                                           \
    public:                                                                 \
        using QvError::QvError;                                             \
    }
