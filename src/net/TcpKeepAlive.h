#pragma once

#include <QtGlobal>

// TCP keep-alive on a connection: a peer that vanishes without a word (no
// FIN, no RST) is given up after about idleS + intervalS * probes seconds
// instead of the system's default of hours.
struct TcpKeepAlive {
    int idleS = 60;
    int intervalS = 10;
    int probes = 6;
};

// Switches keep-alive on for a connected socket with these times (the times
// only where the system lets a program choose them).
void applyTcpKeepAlive(qintptr socket, const TcpKeepAlive &timing);
