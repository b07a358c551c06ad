#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <functional>
#include <initializer_list>

#include "ScriptedTelnetHost.h"
#include "SpinWait.h"
#include "telnet/TelnetClient.h"

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Writes down every event of a client as a short line, in arrival order.
class EventLog : public QObject {
public:
    explicit EventLog(TTelnetClient &client) : m_client(client)
    {
        connect(&client, &TTelnetClient::OnConnected, this, [this](int code, const QString &d) {
            add(QStringLiteral("Connected %1").arg(code), d);
        });
        connect(&client, &TTelnetClient::OnReadyToSend, this, [this] { add(QStringLiteral("ReadyToSend")); });
        connect(&client, &TTelnetClient::OnDataIn, this, [this](const QByteArray &t) {
            chunks.append(t);
            data += t;
            add(QStringLiteral("DataIn"));
        });
        connect(&client, &TTelnetClient::OnDisconnected, this, [this](int code, const QString &d) {
            add(QStringLiteral("Disconnected %1").arg(code), d);
        });
        connect(&client, &TTelnetClient::OnDo, this, [this](int o) { add(QStringLiteral("DO %1").arg(o)); });
        connect(&client, &TTelnetClient::OnDont, this, [this](int o) { add(QStringLiteral("DONT %1").arg(o)); });
        connect(&client, &TTelnetClient::OnWill, this, [this](int o) { add(QStringLiteral("WILL %1").arg(o)); });
        connect(&client, &TTelnetClient::OnWont, this, [this](int o) { add(QStringLiteral("WONT %1").arg(o)); });
        connect(&client, &TTelnetClient::OnCommand, this, [this](int c) { add(QStringLiteral("CMD %1").arg(c)); });
        connect(&client, &TTelnetClient::OnSubOption, this, [this](const QByteArray &p) {
            subOptions.append(p);
            add(QStringLiteral("SB"));
        });
        connect(&client, &TTelnetClient::OnError, this, [this](int code, const QString &d) {
            add(QStringLiteral("Error %1").arg(code), d);
        });
    }

    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &e : events)
            n += e.startsWith(prefix) ? 1 : 0;
        return n;
    }
    // Events other than data, for comparing the order of the rest.
    QStringList withoutData() const
    {
        QStringList out;
        for (const QString &e : events)
            if (e != QLatin1String("DataIn"))
                out.append(e);
        return out;
    }

    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 3000)
    {
        return SpinUntil(condition, timeoutMs);
    }
    bool waitForEvent(const QString &prefix, int timeoutMs = 3000)
    {
        return waitFor([this, prefix] { return count(prefix) > 0; }, timeoutMs);
    }
    bool waitForData(const QByteArray &needle, int timeoutMs = 3000)
    {
        return waitFor([this, needle] { return data.contains(needle); }, timeoutMs);
    }

    QStringList events;
    QStringList descriptions;  // parallel to events
    QList<QByteArray> chunks;
    QByteArray data;
    QList<QByteArray> subOptions;

private:
    void add(const QString &event, const QString &description = {})
    {
        events.append(event);
        descriptions.append(description);
    }
    TTelnetClient &m_client;
};

inline quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

inline void aim(TTelnetClient &client, const ScriptedTelnetHost &host)
{
    client.setRemoteHost(host.address());
    client.setRemotePort(host.port());
}

// A host that says nothing of its own: no options, no banner, no prompt.
inline void silence(ScriptedTelnetHost &host)
{
    host.setNegotiation({});
    host.setBanner({});
    host.setLoginPrompt({});
}
