#pragma once

#include <QByteArray>
#include <functional>

// Incremental RFC 854/855 stream parser: feed it bytes as they arrive, in any
// split; it reports data and commands through the callbacks. Pure logic, no I/O.
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
    void feed(const QByteArray &bytes);
    void reset();

    // Doubles every byte 255 for sending.
    static QByteArray escape(const QByteArray &data);
};
