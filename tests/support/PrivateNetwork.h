#pragma once

#include <QString>

// Puts the calling thread into a network namespace of its own (only a
// loopback, brought up), so a test can take the loopback down under a live
// connection: a host that vanishes without a FIN or RST. Sockets made by this
// thread from now on live there. Needs the right to make namespaces (root);
// the destructor returns the thread to the namespace it had.
class PrivateNetwork {
public:
    PrivateNetwork();
    ~PrivateNetwork();
    PrivateNetwork(const PrivateNetwork &) = delete;
    PrivateNetwork &operator=(const PrivateNetwork &) = delete;

    bool isActive() const { return m_active; }
    // Why there is no private network here; empty when there is.
    QString unavailableReason() const { return m_reason; }
    bool setLoopbackUp(bool up);
    // True once no loopback TCP connection of this process has bytes sent
    // but not yet acknowledged (or not yet sent).
    static bool loopbackSendQueuesEmpty();

private:
    int m_previous = -1;
    bool m_entered = false;
    bool m_active = false;
    QString m_reason;
};
