#pragma once

#include "run/TelnetDialogue.h"

// Short pacing and limits for sessions against test hosts.
inline SessionPacing FastPacing()
{
    SessionPacing p;
    p.lineDelayMs = 10;
    p.charDelayMs = 1;
    p.connectWaitMs = 3000;
    p.loginLimitMs = 4000;
    p.dumpLimitMs = 4000;
    return p;
}
