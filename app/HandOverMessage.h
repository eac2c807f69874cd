#pragma once

#include <QByteArray>
#include <QStringList>

/// The wire form of the arguments that a later start hands to the running one: a 4-byte big-endian length, then the
/// arguments in UTF-8, each ended by a NUL byte.
namespace HandOverMessage {

/// What the bytes received so far hold.
struct Decoded
{
    enum State { Partial, Complete, Invalid } state;
    QStringList args;
};

QByteArray encode(const QStringList& args);
/// Oversized messages, trailing bytes and a payload not ended by NUL are invalid.
Decoded decode(const QByteArray& bytes);

/// Largest message accepted; arguments and a callback URL fit many times over.
constexpr int kMaxBytes = 64 * 1024;

} // namespace HandOverMessage
