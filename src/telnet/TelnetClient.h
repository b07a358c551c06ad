#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>
#include <stdexcept>

#include "net/TcpKeepAlive.h"
#include "telnet/TelnetParser.h"

class QTcpSocket;

// Raised by a failing assignment or operation of the telnet client. The
// message is the code in decimal, ": " and the description.
class ETelnetClientError : public std::runtime_error {
public:
    ETelnetClientError(int code, const QString &description);
    int code() const { return m_code; }
    QString message() const { return QString::fromUtf8(what()); }

private:
    int m_code;
};

enum class TelnetFirewallType { fwNone, fwTunnel, fwSOCKS4, fwSOCKS5 };

// Telnet client (RFC 854/855) over QTcpSocket. Events are delivered as signals
// on the thread that owns the object, while its event loop runs (including
// nested local event loops), always in stream order, never from inside the
// call that caused them (except OnDisconnected of a local Disconnect()).
// Per socket read: its telnet commands first, then one OnDataIn with all of
// its data. The client answers no option itself; its owner does.
// Name lookup failures, refused and failed connections never throw; they come
// as OnConnected with a Winsock-style code (11001, 10061, ...).
class TTelnetClient : public QObject {
    Q_OBJECT
public:
    explicit TTelnetClient(QObject *parent = nullptr);
    ~TTelnetClient() override;

    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString &host);
    // The program always uses the telnet port; tests point it elsewhere.
    quint16 RemotePort() const { return m_remotePort; }
    void setRemotePort(quint16 port) { m_remotePort = port; }

    // true once the TCP connection is up.
    bool Connected() const;
    // false: drop any connection (harmless when idle) without any event; a new
    // run starts this way, and the dropped session must not look like one
    // that ended. true: start connecting to RemoteHost and return at once; the
    // attempt ends with OnConnected (0: connected, then OnReadyToSend once;
    // else the reason, and no OnDisconnected follows). Ignored while an
    // attempt or connection is already open.
    void setConnected(bool connected);

    // Error of a connection attempt whose host name could not be resolved
    // (or is no host name at all), as "11001: Host not found"; the session
    // turns it into its "No connection, Error: " line. Present before that
    // attempt's OnConnected; cleared by reading it and by a new attempt.
    bool hasPendingError() const { return m_pendingError.has_value(); }
    ETelnetClientError takePendingError();

    // Send doubles byte 255 and emits sent(data). Without a connection the
    // data is dropped (OnError reports it): the session's waits let the host
    // hang up between a prompt and its answer, and that must not throw.
    // Every send ends the connection (OnError, then OnDisconnected with code
    // 10055) when more than MaxUnsentBytes would wait unread by the host.
    void Send(const QByteArray &data);
    void setDataToSend(const QByteArray &data) { Send(data); }
    void SendSubOption(const QByteArray &payload);
    void SendWont(int option);
    void SendDont(int option);
    void SendWill(int option);
    void SendDo(int option);
    // Ends the connection. A connection that was up reports OnDisconnected
    // before this returns (once; a later server close adds nothing), so a
    // cancelled session still gets its end handling. An attempt still under
    // way ends with OnConnected and a non-zero code instead.
    void Disconnect();

    // Events read but not yet delivered; bounded however fast the host sends.
    qsizetype pendingEventCount() const { return m_events.size(); }

    // Properties the program stores but does not use (KeepAlive excepted).
    TelnetFirewallType FirewallType = TelnetFirewallType::fwNone;
    QString FirewallHost, FirewallUser, FirewallPassword;
    quint16 FirewallPort = 0;
    quint16 LocalPort = 0;
    // TCP keep-alive on the connection, so a host that goes silent is noticed.
    bool KeepAlive = false;
    TcpKeepAlive keepAliveTiming;  // used when KeepAlive is on
    bool Linger = true;
    bool Transparent = false;
    int Timeout = 0;

signals:
    void OnConnected(int StatusCode, const QString &Description);
    void OnReadyToSend();
    void OnDataIn(const QByteArray &Text);
    void OnDisconnected(int StatusCode, const QString &Description);
    void OnDo(int OptionCode);
    void OnDont(int OptionCode);
    void OnWill(int OptionCode);
    void OnWont(int OptionCode);
    void OnCommand(int CommandCode);
    void OnSubOption(const QByteArray &SubOption);
    void OnError(int ErrorCode, const QString &Description);
    // Every Send as it goes out (before escaping), for observers.
    void sent(const QByteArray &data);

private:
    static constexpr qsizetype ReadChunk = 256 * 1024;
    static constexpr qsizetype MaxPendingEvents = 4096;
    // Sent but not yet taken by the host; beyond it the session ends.
    static constexpr qint64 MaxUnsentBytes = 1024 * 1024;

    struct Event {
        enum Kind { Connected, ReadyToSend, DataIn, Disconnected, Do, Dont, Will, Wont,
                    Command, SubOption, Error } kind;
        int code = 0;
        QString text;
        QByteArray bytes;
    };

    void dropSocket();
    void failAttempt(int code, const QString &description);
    void finishConnection(int code, const QString &description, bool reportNow);
    void readAvailable();
    void post(Event::Kind kind, int code = 0, const QString &text = {},
              const QByteArray &bytes = {});
    void deliver();
    void deliverLater();
    void reportUnsent(const QString &what);
    void onSocketConnected();
    void onSocketReadyRead();
    void onSocketDisconnected();
    void onSocketError();
    void writeRaw(const QByteArray &bytes);

    QTcpSocket *m_socket = nullptr;
    TelnetParser m_parser;
    QString m_remoteHost;
    quint16 m_remotePort = 23;
    bool m_everConnected = false;   // this attempt reached the connected state
    bool m_disconnectReported = false;
    // Events wait here until delivered in order; handlers may run nested event
    // loops, so a new read can arrive while an earlier one is being reported.
    QList<Event> m_events;
    QByteArray m_chunk;  // data of the read being parsed
    std::optional<ETelnetClientError> m_pendingError;
};
