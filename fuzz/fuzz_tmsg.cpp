// One received line, any bytes: the parser must return a whole message or
// none, with parts that fit together.
#include "bus/tmsg.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = fuzz::text(data, size);
    TMsg msg;
    const int kind = msg.parse(line);
    FUZZ_CHECK(kind == msg.kind);
    FUZZ_CHECK(kind >= TMsg::Request && kind <= TMsg::Unparsed);
    if (kind != TMsg::Unparsed) {
        FUZZ_CHECK(msg.params.isEmpty() == msg.paramList.isEmpty());
        FUZZ_CHECK(!msg.cmd.isEmpty() && !msg.cmd.contains(QLatin1Char(' ')));
        FUZZ_CHECK(!msg.from.contains(QLatin1Char(' ')) && !msg.to.contains(QLatin1Char(' ')));
        FUZZ_CHECK(msg.to == (msg.to.contains(QLatin1Char('.')) ? msg.toName + QLatin1Char('.') + msg.toSub
                                                                : msg.toName));
    }

    // Read from the bytes as they arrive, the line gives the same message.
    TMsg fromBytes;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TMsg fromText;
    FUZZ_CHECK(fromBytes.parseUtf8(bytes) == fromText.parse(QString::fromUtf8(bytes)));
    FUZZ_CHECK(fromBytes.from == fromText.from && fromBytes.fromName == fromText.fromName &&
               fromBytes.fromSub == fromText.fromSub && fromBytes.to == fromText.to &&
               fromBytes.toName == fromText.toName && fromBytes.toSub == fromText.toSub &&
               fromBytes.cmd == fromText.cmd && fromBytes.params == fromText.params &&
               fromBytes.paramList == fromText.paramList && fromBytes.code == fromText.code);

    // A message parsed again holds nothing of the line before.
    TMsg reused;
    reused.parse(QStringLiteral("A.a>B.b _Ev x y"));
    FUZZ_CHECK(reused.parse(line) == kind);
    FUZZ_CHECK(reused.from == msg.from && reused.fromSub == msg.fromSub && reused.to == msg.to &&
               reused.toSub == msg.toSub && reused.cmd == msg.cmd && reused.params == msg.params &&
               reused.paramList == msg.paramList);
    return 0;
}
