#include <QRandomGenerator>
#include <QTest>

#include "telnet/TelnetParser.h"

namespace {

constexpr char IAC = char(255);
constexpr char SB = char(250);
constexpr char SE = char(240);
constexpr char WILL = char(251);
constexpr char WONT = char(252);
constexpr char DO = char(253);
constexpr char DONT = char(254);

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Records what the parser reports as readable lines ("D:text", "DO 24",
// "CMD 241", "SB <hex>"). Neighbouring data reports are merged, because how
// data is cut into chunks depends on the feeds and is not what these compare.
struct Recorder {
    TelnetParser parser;
    QStringList events;
    QList<QByteArray> dataCalls;  // every onData payload, unmerged
    QList<QByteArray> subOptions;

    Recorder()
    {
        parser.onData = [this](const QByteArray &d) {
            dataCalls.append(d);
            if (!events.isEmpty() && events.last().startsWith(QLatin1String("D:")))
                events.last() += QString::fromLatin1(d.toHex());
            else
                events.append(QLatin1String("D:") + QString::fromLatin1(d.toHex()));
        };
        parser.onOption = [this](int verb, int option) {
            const char *name = verb == 251 ? "WILL" : verb == 252 ? "WONT" : verb == 253 ? "DO"
                             : verb == 254 ? "DONT" : "?";
            events.append(QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(option));
        };
        parser.onCommand = [this](int c) { events.append(QStringLiteral("CMD %1").arg(c)); };
        parser.onSubOption = [this](const QByteArray &p) {
            subOptions.append(p);
            events.append(QLatin1String("SB ") + QString::fromLatin1(p.toHex()));
        };
    }
};

QString data(const QByteArray &d) { return QLatin1String("D:") + QString::fromLatin1(d.toHex()); }
QString sub(const QByteArray &p) { return QLatin1String("SB ") + QString::fromLatin1(p.toHex()); }

// A stream with every construct the parser knows, and what it must report.
QByteArray mixedStream()
{
    QByteArray s;
    s += "Welcome\r\n";
    s += bytes({255, 253, 24, 255, 251, 1});         // DO TERMINAL-TYPE, WILL ECHO
    s += "a\r";
    s += '\0';                                       // CR NUL: a bare CR
    s += "b";
    s += bytes({255, 255});                          // data byte 255
    s += "c";
    s += bytes({255, 250, 24, 1, 255, 255, 7, 255, 240});  // SB with an escaped 255 inside
    s += bytes({255, 241, 255, 249});                // NOP, GA
    s += "login: ";
    s += bytes({255, 254, 31, 255, 252, 3});         // DONT NAWS, WONT SGA
    s += "\r";
    return s;
}

QStringList mixedExpected()
{
    return {
        data("Welcome\r\n"),
        QStringLiteral("DO 24"),
        QStringLiteral("WILL 1"),
        data(QByteArray("a\rb") + char(255) + "c"),
        sub(bytes({24, 1, 255, 7})),
        QStringLiteral("CMD 241"),
        QStringLiteral("CMD 249"),
        data("login: "),
        QStringLiteral("DONT 31"),
        QStringLiteral("WONT 3"),
        data("\r"),
    };
}

} // namespace

class TelnetParserTest : public QObject {
    Q_OBJECT
private slots:
    void mixedStreamInOneFeed();
    void mixedStreamSplitAtEveryPosition();
    void mixedStreamByteByByte();
    void dataRunsBetweenCommandsAreSeparateCalls();
    void iacIacIsByte255();
    void subOptionUnescapesIacIac();
    void subOptionCanBeEmpty();
    void subOptionEndedByOtherCommand();
    void crNul_data();
    void crNul();
    void crNulSplitAcrossFeeds();
    void everyCommandByte_data();
    void everyCommandByte();
    void optionCodeCanBeAnyByte();
    void unterminatedSubOptionIsCapped();
    void megabyteFloodPassesAsChunks();
    void randomInputIsSplitInvariant();
    void resetDropsPartialSequence();
    void escape_data();
    void escape();
};

void TelnetParserTest::mixedStreamInOneFeed()
{
    Recorder r;
    r.parser.feed(mixedStream());
    QCOMPARE(r.events, mixedExpected());
}

void TelnetParserTest::mixedStreamSplitAtEveryPosition()
{
    const QByteArray s = mixedStream();
    for (int i = 0; i <= s.size(); ++i) {
        for (int j = i; j <= s.size(); ++j) {
            Recorder r;
            r.parser.feed(s.left(i));
            r.parser.feed(s.mid(i, j - i));
            r.parser.feed(s.mid(j));
            if (r.events != mixedExpected())
                QFAIL(qPrintable(QStringLiteral("split at %1 and %2: %3").arg(i).arg(j).arg(r.events.join(QLatin1String(" | ")))));
        }
    }
}

void TelnetParserTest::mixedStreamByteByByte()
{
    Recorder r;
    for (const char c : mixedStream())
        r.parser.feed(QByteArray(1, c));
    QCOMPARE(r.events, mixedExpected());
}

void TelnetParserTest::dataRunsBetweenCommandsAreSeparateCalls()
{
    Recorder r;
    r.parser.feed(QByteArray("one") + bytes({255, 241}) + "two");
    QCOMPARE(r.dataCalls, (QList<QByteArray>{"one", "two"}));

    Recorder plain;
    plain.parser.feed("no commands\r\nat all");
    QCOMPARE(plain.dataCalls, QList<QByteArray>{"no commands\r\nat all"});

    Recorder empty;
    empty.parser.feed(QByteArray());
    empty.parser.feed(bytes({255, 253, 1}));
    QVERIFY(empty.dataCalls.isEmpty());
}

void TelnetParserTest::iacIacIsByte255()
{
    Recorder r;
    r.parser.feed(bytes({255, 255, 255, 255, 65, 255}));
    r.parser.feed(bytes({255}));
    QCOMPARE(r.events, QStringList{data(bytes({255, 255, 65, 255}))});
}

void TelnetParserTest::subOptionUnescapesIacIac()
{
    Recorder r;
    r.parser.feed(bytes({255, 250, 24, 0}) + "vt" + bytes({255, 255, 255, 255}) + "100" + bytes({255, 240}));
    QCOMPARE(r.subOptions, QList<QByteArray>{bytes({24, 0}) + "vt" + bytes({255, 255}) + "100"});
    QCOMPARE(r.events.size(), 1);
}

void TelnetParserTest::subOptionCanBeEmpty()
{
    Recorder r;
    r.parser.feed(bytes({255, 250, 255, 240}) + "x");
    QCOMPARE(r.events, (QStringList{sub({}), data("x")}));
}

void TelnetParserTest::subOptionEndedByOtherCommand()
{
    // A peer that forgets IAC SE must not swallow the rest of the session.
    Recorder r;
    r.parser.feed(bytes({255, 250, 24, 1, 255, 241}) + "login: " + bytes({255, 253, 1}));
    QCOMPARE(r.events, (QStringList{sub(bytes({24, 1})), QStringLiteral("CMD 241"), data("login: "),
                                    QStringLiteral("DO 1")}));
}

void TelnetParserTest::crNul_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("CR NUL") << QByteArray("a\r\0b", 4) << QByteArray("a\rb");
    QTest::newRow("CR LF untouched") << QByteArray("a\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("NUL without CR kept") << QByteArray("a\0b", 3) << QByteArray("a\0b", 3);
    QTest::newRow("CR CR NUL") << QByteArray("\r\r\0", 3) << QByteArray("\r\r");
    QTest::newRow("CR NUL NUL keeps second") << QByteArray("\r\0\0", 3) << QByteArray("\r\0", 2);
    QTest::newRow("CR then 255") << QByteArray("\r") + bytes({255, 255, 0}) << QByteArray("\r") + bytes({255, 0});
}

void TelnetParserTest::crNul()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    Recorder r;
    r.parser.feed(input);
    QCOMPARE(r.dataCalls, QList<QByteArray>{expected});
}

void TelnetParserTest::crNulSplitAcrossFeeds()
{
    Recorder r;
    r.parser.feed("Password:\r");
    r.parser.feed(QByteArray(1, '\0'));
    r.parser.feed(QByteArray("\0x", 2));
    QCOMPARE(r.dataCalls, (QList<QByteArray>{"Password:\r", QByteArray("\0x", 2)}));
}

void TelnetParserTest::everyCommandByte_data()
{
    QTest::addColumn<int>("code");
    // Everything after IAC that is not IAC, SB or a verb is a command,
    // including a stray SE and bytes no RFC defines.
    for (int code : {240, 241, 242, 243, 244, 245, 246, 247, 248, 249})
        QTest::addRow("%d", code) << code;
    QTest::newRow("undefined 0") << 0;
    QTest::newRow("undefined 65") << 65;
    QTest::newRow("undefined 239") << 239;
}

void TelnetParserTest::everyCommandByte()
{
    QFETCH(int, code);
    Recorder whole, split;
    const QByteArray s = QByteArray("x") + bytes({255, code}) + "y";
    whole.parser.feed(s);
    split.parser.feed(s.left(2));
    split.parser.feed(s.mid(2));
    const QStringList expected{data("x"), QStringLiteral("CMD %1").arg(code), data("y")};
    QCOMPARE(whole.events, expected);
    QCOMPARE(split.events, expected);
}

void TelnetParserTest::optionCodeCanBeAnyByte()
{
    Recorder r;
    r.parser.feed(QByteArray() + IAC + DO + char(255) + IAC + WILL + char(0) + IAC + DONT + char(250)
                  + IAC + WONT + char(240));
    QCOMPARE(r.events, (QStringList{QStringLiteral("DO 255"), QStringLiteral("WILL 0"),
                                    QStringLiteral("DONT 250"), QStringLiteral("WONT 240")}));
}

void TelnetParserTest::unterminatedSubOptionIsCapped()
{
    Recorder r;
    r.parser.feed(QByteArray() + IAC + SB + char(24));
    const QByteArray block(4096, 'x');
    for (int i = 0; i < 64; ++i)  // 256 KiB, four times the cap
        r.parser.feed(block + IAC + IAC);
    QVERIFY2(r.events.isEmpty(), "nothing may leak out of an open sub-negotiation");

    r.parser.feed(QByteArray() + IAC + SE + "after");
    QCOMPARE(r.subOptions.size(), 1);
    QCOMPARE(r.subOptions.first().size(), TelnetParser::MaxSubOption);
    QVERIFY(r.subOptions.first().startsWith(char(24) + block));
    QCOMPARE(r.dataCalls, QList<QByteArray>{"after"});

    // The next sub-negotiation starts afresh.
    r.parser.feed(QByteArray() + IAC + SB + "ok" + IAC + SE);
    QCOMPARE(r.subOptions.last(), QByteArray("ok"));
}

void TelnetParserTest::megabyteFloodPassesAsChunks()
{
    Recorder r;
    const QByteArray chunk(64 * 1024, 'A');
    for (int i = 0; i < 16; ++i)
        r.parser.feed(chunk);
    // A line without end is handed on feed by feed, never held back.
    QCOMPARE(r.dataCalls.size(), 16);
    for (const QByteArray &d : r.dataCalls)
        QCOMPARE(d.size(), chunk.size());

    // One megabyte feed of commands and data mixed.
    Recorder m;
    QByteArray flood;
    for (int i = 0; i < 128 * 1024; ++i)
        flood += QByteArray("abc") + IAC + char(241) + "\r" + '\0';
    m.parser.feed(flood);
    // "\r" (its NUL dropped) runs into the next "abc": one data call per command gap.
    QCOMPARE(m.dataCalls.size(), 128 * 1024 + 1);
    QCOMPARE(m.dataCalls.at(1), QByteArray("\rabc"));
    QCOMPARE(m.events.size(), 2 * 128 * 1024 + 1);
}

void TelnetParserTest::randomInputIsSplitInvariant()
{
    // Hostile, random bytes (with IAC frequent): the result must not depend
    // on how the bytes were cut, and nothing may crash.
    QRandomGenerator rng(4711);
    QByteArray s(256 * 1024, Qt::Uninitialized);
    for (char &c : s) {
        const quint32 v = rng.bounded(20u);
        c = v < 4 ? char(255) : v < 6 ? char(240 + rng.bounded(16u)) : v < 7 ? '\r' : v < 8 ? '\0'
                                                                       : char(rng.bounded(256u));
    }
    Recorder whole;
    whole.parser.feed(s);

    Recorder pieces;
    for (int pos = 0; pos < s.size();) {
        const int n = int(rng.bounded(1u, 700u));
        pieces.parser.feed(s.mid(pos, n));
        pos += n;
    }
    QCOMPARE(pieces.events, whole.events);
    for (const QByteArray &p : whole.subOptions)
        QVERIFY(p.size() <= TelnetParser::MaxSubOption);
}

void TelnetParserTest::resetDropsPartialSequence()
{
    Recorder r;
    r.parser.feed(QByteArray() + "a" + IAC);
    r.parser.reset();
    r.parser.feed(QByteArray() + char(253) + "b");  // would have been DO 98
    QCOMPARE(r.events, QStringList{data(QByteArray("a") + char(253) + "b")});

    Recorder s;
    s.parser.feed(QByteArray() + IAC + SB + "half");
    s.parser.reset();
    s.parser.feed("data");
    QCOMPARE(s.events, QStringList{data("data")});
}

void TelnetParserTest::escape_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QByteArray("mysqldump -h db") << QByteArray("mysqldump -h db");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("one 255") << bytes({65, 255, 66}) << bytes({65, 255, 255, 66});
    QTest::newRow("only 255s") << bytes({255, 255}) << bytes({255, 255, 255, 255});
    QTest::newRow("other high bytes") << bytes({254, 240, 250}) << bytes({254, 240, 250});
}

void TelnetParserTest::escape()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(TelnetParser::escape(input), expected);
    // And the parser reads it back as it was.
    Recorder r;
    r.parser.feed(TelnetParser::escape(input));
    if (!input.isEmpty())
        QCOMPARE(r.dataCalls, QList<QByteArray>{input});
}

QTEST_GUILESS_MAIN(TelnetParserTest)
#include "tst_TelnetParser.moc"
