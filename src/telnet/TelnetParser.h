#pragma once

#include <QByteArray>
#include <functional>

// Incremental RFC 854/855 stream parser: feed it bytes as they arrive, in any
// split; it reports data and commands through the callbacks. Pure logic, no I/O.
//
// Memory stays bounded whatever the peer sends: between feeds only the state
// of a partial IAC sequence is kept, plus a sub-negotiation payload of at most
// MaxSubOption bytes. Data is never held back across feeds.
class TelnetParser {
public:
    enum Byte : unsigned char {
        SE = 240, NOP = 241, DM = 242, BRK = 243, IP = 244, AO = 245, AYT = 246,
        EC = 247, EL = 248, GA = 249, SB = 250, WILL = 251, WONT = 252, DO = 253,
        DONT = 254, IAC = 255
    };
    // An unterminated sub-negotiation is cut at this size; the rest until IAC SE is dropped.
    static constexpr int MaxSubOption = 64 * 1024;

    std::function<void(const QByteArray &)> onData;       // plain data of one feed
    std::function<void(int verb, int option)> onOption;   // verb: WILL, WONT, DO, DONT
    std::function<void(int command)> onCommand;           // any other command byte
    std::function<void(const QByteArray &)> onSubOption;  // payload without IAC SB / IAC SE

    // Parses bytes. Data and commands are reported in stream order: each run of
    // data bytes between commands gives one onData call, so a feed without
    // commands gives exactly one. CR NUL is read as CR; IAC IAC as byte 255.
    // IAC followed by a byte that is no known verb (including bytes below 240)
    // goes to onCommand with that byte. Inside a sub-negotiation, IAC followed
    // by anything but SE or IAC ends it (the payload so far is delivered) and
    // the byte is read as a command, as BSD telnet does.
    // The callbacks must not call feed() on the same parser.
    void feed(const QByteArray &bytes);
    void reset();

    // Doubles every byte 255 for sending.
    static QByteArray escape(const QByteArray &data);

private:
    enum class State { Data, Iac, Option, Sub, SubIac };

    void deliverSubOption();

    State m_state = State::Data;
    int m_verb = 0;            // WILL/WONT/DO/DONT waiting for its option byte
    bool m_afterCr = false;    // last data byte was CR: a NUL after it is dropped
    QByteArray m_sub;          // sub-negotiation payload so far, at most MaxSubOption
};
