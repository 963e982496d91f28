#pragma once
// A register of this program (a file or a database on a server) read as the
// import reads an Access file: its tables row by row, through the data-set
// layer, so that copying a register between a file and a server goes the
// import's way, every check and refusal included.

#include "JetFile.h"

#include <memory>
#include <string>

class TADOConnection;
class QObject;

class RegisterSource {
public:
    // Opens the register named (a path or a server URI) for reading.
    // Throws Exception with the data layer's message.
    explicit RegisterSource(const std::string& name);
    ~RegisterSource();
    RegisterSource(const RegisterSource&) = delete;
    RegisterSource& operator=(const RegisterSource&) = delete;

    // The table of that name, or nothing when the register has none.
    std::unique_ptr<JetTable> table(const std::string& name);

private:
    std::unique_ptr<QObject> m_owner;
    TADOConnection* m_connection;
};
