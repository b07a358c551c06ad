// The telnet parser reads whatever a host sends. Whatever the bytes, and
// however the network cuts them, it must report the same stream and keep
// sub-negotiations within their bound.
#include <QByteArray>
#include <QList>
#include <cstdlib>

#include "telnet/TelnetParser.h"

namespace {

struct Events {
    QList<QByteArray> list;  // neighbouring data merged: chunking is the network's
    QByteArray data;         // all data, in order
};

void listen(TelnetParser &parser, Events &out)
{
    parser.onData = [&out](const QByteArray &d) {
        if (d.isEmpty())
            std::abort();
        out.data += d;
        if (!out.list.isEmpty() && out.list.last().startsWith('D'))
            out.list.last() += d;
        else
            out.list.append('D' + d);
    };
    parser.onOption = [&out](int verb, int option) {
        if (verb < TelnetParser::WILL || verb > TelnetParser::DONT || option < 0 || option > 255)
            std::abort();
        out.list.append(QByteArray("O") + char(verb) + char(option));
    };
    parser.onCommand = [&out](int command) { out.list.append(QByteArray("C") + char(command)); };
    parser.onSubOption = [&out](const QByteArray &payload) {
        if (payload.size() > TelnetParser::MaxSubOption)
            std::abort();
        out.list.append('S' + payload);
    };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses where the stream is cut.
    const int step = bytes[0] % 17 + 1;
    const QByteArray stream(reinterpret_cast<const char *>(bytes + 1), qsizetype(size - 1));

    TelnetParser whole;
    Events once;
    listen(whole, once);
    whole.feed(stream);

    TelnetParser cut;
    Events pieces;
    listen(cut, pieces);
    for (qsizetype at = 0; at < stream.size(); at += step)
        cut.feed(stream.mid(at, step));
    if (once.list != pieces.list)
        std::abort();

    // What is sent escaped comes back as it was, only a NUL after CR being
    // padding by definition.
    if (!stream.contains(QByteArray("\r\0", 2))) {
        TelnetParser back;
        Events echo;
        listen(back, echo);
        back.feed(TelnetParser::escape(stream));
        if (echo.data != stream || echo.list.size() > 1)
            std::abort();
    }
    return 0;
}
