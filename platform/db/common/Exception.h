#pragma once
// Failures of the data layer and of the program's own checks.
//
// Every failure that the program reports to a person travels as an Exception
// carrying the text to show, in the program's language (Messages.h).

#include "Messages.h"

#include <QString>

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    explicit Exception(const QString& message) : std::runtime_error(message.toStdString()) {}
    explicit Exception(const char* message) : std::runtime_error(message) {}

    // The text shown to the user, unchanged.
    std::string Message() const { return what(); }
};

// A silent failure: the operation was abandoned on purpose (an error handler
// chose to abort it) and the user has already been told whatever was needed.
// The application's exception display shows nothing for it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// A write whose outcome cannot be known: the connection went while its
// COMMIT was under way, and the server could not be asked afterwards. The
// message says what happened; what was written may or may not be there.
class EUnknownOutcome : public Exception {
public:
    explicit EUnknownOutcome(const std::string& message) : Exception(message) {}
};
