#pragma once
// The data layer's words for a person: every text an engine or a data set
// shows is written here or marked where it is written, in Serbian, the
// program's own language, and goes through Qt's translation system with the
// context "Register". The database's own message is kept as it is where
// nothing better can be said.

#include "Values.h"

#include <QCoreApplication>
#include <QString>

#include <string>
#include <vector>

namespace db {

// A text of the data layer for a person, in the program's language: text
// is marked with QT_TRANSLATE_NOOP("Register", ...) where it is written.
inline QString say(const char* text)
{
    return QCoreApplication::translate("Register", text);
}

// A value as a person reads it in a message: a text in quotes, exactly as
// it is (kept apart from the sentence around it, whatever its direction;
// a control character as a sign), a number as a number, and no value
// said in words, unlike an empty text.
QString shownValue(FieldKind kind, const CellValue& value);

// What a person reads when a row refers, by the fields labelled so and the
// values given, to something the register does not hold; the last field
// names the thing ("the city (country 99, city 1) is not in the register").
std::string danglingReferenceMessage(const std::vector<std::string>& labels, const std::vector<std::string>& values);
// What a person reads when a field labelled so has no value but needs one.
std::string missingValueMessage(const std::string& label);
// A write read back stored, which is no whole number, as the field labelled label.
std::string notWholeNumberMessage(const std::string& stored, const std::string& label);

// The refusals that every engine words alike, whatever it writes.
std::string busyMessage();                                 // another program or desk holds the lock
std::string lockedMessage();                               // the same, met by a search
std::string readOnlyMessage(const std::string& detail);   // the register can only be read now
std::string rightsMessage(bool reading);                   // this desk may not read, or change, what it tried
std::string diskFullMessage();
std::string duplicateKeyMessage();                         // a row with that key is there already
std::string brokenRuleMessage(const std::string& rule);   // a rule (CHECK) of the register
std::string unknownReferenceMessage();                     // a reference to something not there
std::string stillReferencedMessage();                      // a deletion of a row others refer to
std::string conflictMessage();                             // another desk changed the same rows at once
std::string transactionOpenMessage();                      // a transaction begun where one is open
std::string noTransactionMessage();                        // a transaction ended where none is
std::string severalStatementsMessage();                    // a text that holds more than one statement

} // namespace db
