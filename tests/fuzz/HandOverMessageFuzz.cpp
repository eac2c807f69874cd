// The bytes a later start sends to the running one, as they arrive, cut anywhere: decoding never reads past what
// came, a prefix of a message is partial (never complete, never a different message), a complete message of UTF-8
// re-encodes to exactly its bytes, and nothing longer than the limit is taken.

#include "app/HandOverMessage.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const HandOverMessage::Decoded whole = HandOverMessage::decode(bytes);
    if (whole.state == HandOverMessage::Decoded::Complete) {
        const QByteArray payload = bytes.mid(4);
        const bool utf8 = QString::fromUtf8(payload).toUtf8() == payload;
        require(!utf8 || HandOverMessage::encode(whole.args) == bytes, "a complete message is its arguments' encoding");
        require(HandOverMessage::decode(HandOverMessage::encode(whole.args)).args == whole.args,
                "decoded arguments encode to a message of the same arguments");
        require(bytes.size() <= HandOverMessage::kMaxBytes + 4, "nothing beyond the limit is taken");
        for (qsizetype cut = 0; cut < bytes.size(); cut += 1 + cut / 8)
            require(HandOverMessage::decode(bytes.left(cut)).state == HandOverMessage::Decoded::Partial,
                    "a message cut short is partial");
    }
    // Whatever the bytes were, arguments written by encode come back as they were.
    QStringList args;
    for (qsizetype from = 0; from < bytes.size() && args.size() < 8; from += 16)
        args << QString::fromUtf8(bytes.mid(from, 16)).remove(QChar(u'\0'));
    const HandOverMessage::Decoded again = HandOverMessage::decode(HandOverMessage::encode(args));
    require(again.state == HandOverMessage::Decoded::Complete && again.args == args, "encoded arguments decode back");
    return 0;
}
