#include "telnet/TelnetParser.h"

void TelnetParser::feed(const QByteArray &bytes)
{
    QByteArray data;
    data.reserve(bytes.size());

    auto flushData = [&] {
        if (!data.isEmpty()) {
            if (onData)
                onData(data);
            data.clear();
        }
    };
    auto dataByte = [&](char c) {
        // CR NUL is how NVT sends a bare carriage return; the NUL is padding.
        if (m_afterCr && c == '\0') {
            m_afterCr = false;
            return;
        }
        m_afterCr = (c == '\r');
        data.append(c);
    };
    auto command = [&](unsigned char b) {
        switch (b) {
        case IAC:
            dataByte(char(IAC));
            m_state = State::Data;
            break;
        case WILL:
        case WONT:
        case DO:
        case DONT:
            m_verb = b;
            m_state = State::Option;
            break;
        case SB:
            flushData();
            m_sub.clear();
            m_state = State::Sub;
            break;
        default:
            flushData();
            m_state = State::Data;
            if (onCommand)
                onCommand(b);
            break;
        }
    };

    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Data:
            if (b == IAC)
                m_state = State::Iac;
            else
                dataByte(c);
            break;
        case State::Iac:
            command(b);
            break;
        case State::Option:
            flushData();
            m_state = State::Data;
            if (onOption)
                onOption(m_verb, b);
            break;
        case State::Sub:
            if (b == IAC) {
                m_state = State::SubIac;
            } else if (m_sub.size() < MaxSubOption) {
                m_sub.append(c);
            }
            break;
        case State::SubIac:
            if (b == IAC) {
                if (m_sub.size() < MaxSubOption)
                    m_sub.append(char(IAC));
                m_state = State::Sub;
            } else if (b == SE) {
                m_state = State::Data;
                deliverSubOption();
            } else {
                // Malformed: the peer forgot IAC SE. Close the sub-negotiation
                // and read this byte as the command it most likely is.
                m_state = State::Data;
                deliverSubOption();
                command(b);
            }
            break;
        }
    }
    flushData();
}

void TelnetParser::deliverSubOption()
{
    QByteArray payload;
    payload.swap(m_sub);
    if (onSubOption)
        onSubOption(payload);
}

void TelnetParser::reset()
{
    m_state = State::Data;
    m_verb = 0;
    m_afterCr = false;
    m_sub = QByteArray();
}

QByteArray TelnetParser::escape(const QByteArray &data)
{
    if (!data.contains(char(IAC)))
        return data;
    QByteArray out;
    out.reserve(data.size() + data.count(char(IAC)));
    for (const char c : data) {
        out.append(c);
        if (static_cast<unsigned char>(c) == IAC)
            out.append(c);
    }
    return out;
}
