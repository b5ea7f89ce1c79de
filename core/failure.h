#pragma once

#include <QString>

#include <cstring>

// A failed operation as the user is told of it: what the program was doing,
// and the system's error number and text ("2: No such file or directory").
struct Failure
{
    QString operation;
    int number = 0;
    QString text;

    static Failure fromErrno(const QString &operation, int errorNumber)
    {
        return {operation, errorNumber, QString::fromLocal8Bit(std::strerror(errorNumber))};
    }
};
