#pragma once
// A register of this program (a file or a database on a server) read as the
// import reads an Access file: its tables row by row, through the data-set
// layer, so that copying a register between a file and a server goes the
// import's way, every check and refusal included. Every table is read at
// one moment of the register, whatever others write meanwhile.

#include "JetFile.h"

#include <memory>
#include <string>

class TADOConnection;
class QObject;

class RegisterSource {
public:
    // Opens the register named (a path or a server URI) for reading, and
    // holds its present moment until destroyed or finishedReading().
    // Throws Exception with the data layer's message.
    explicit RegisterSource(const std::string& name);
    ~RegisterSource();
    RegisterSource(const RegisterSource&) = delete;
    RegisterSource& operator=(const RegisterSource&) = delete;

    // The table of that name, its rows read, or nothing when the register
    // has none. Throws JetError when the server went away meanwhile.
    std::unique_ptr<JetTable> table(const std::string& name);
    // Every table wanted is read: the moment ends, so that a program
    // writing to a register file need not wait for the rest of the copy.
    // No table may be asked for after.
    void finishedReading();

private:
    std::unique_ptr<QObject> m_owner;
    TADOConnection* m_connection;
};
