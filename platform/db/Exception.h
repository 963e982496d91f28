#pragma once
// Failures of the data layer and of the program's own checks.
//
// Every failure that the program reports to a person travels as an Exception
// carrying the text to show. The database's own message is kept as it is;
// callers add context (a path, a table) in front of it where that helps.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}

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
