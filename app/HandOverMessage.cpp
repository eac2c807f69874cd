#include "app/HandOverMessage.h"

#include <QtEndian>

namespace HandOverMessage {
namespace {

constexpr int kHeaderBytes = 4;

} // namespace

QByteArray encode(const QStringList& args)
{
    QByteArray payload;
    for (const QString& arg : args)
        payload += arg.toUtf8() + '\0';
    QByteArray message(kHeaderBytes, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), message.data());
    return message + payload;
}

Decoded decode(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderBytes)
        return {Decoded::Partial, {}};
    const qsizetype length = qFromBigEndian<quint32>(bytes.constData());
    if (length > kMaxBytes || bytes.size() > kHeaderBytes + length)
        return {Decoded::Invalid, {}};
    if (bytes.size() < kHeaderBytes + length)
        return {Decoded::Partial, {}};
    const QByteArray payload = bytes.mid(kHeaderBytes);
    if (!payload.isEmpty() && !payload.endsWith('\0'))
        return {Decoded::Invalid, {}};
    QStringList args;
    for (qsizetype from = 0; from < payload.size();) {
        const qsizetype end = payload.indexOf('\0', from);
        args << QString::fromUtf8(payload.mid(from, end - from));
        from = end + 1;
    }
    return {Decoded::Complete, args};
}

} // namespace HandOverMessage
