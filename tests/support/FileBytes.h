#pragma once
// A file's bytes, written and read whole, for tests that set up or inspect files by hand.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace quorvel::test {

// Replaces the file's contents with bytes (the test fails when it cannot).
inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The file's contents; empty when it cannot be read.
inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace quorvel::test
