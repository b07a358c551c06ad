#pragma once

#include <QString>

// What a test restore may use and how long it may take; the program reads
// them from its settings, tests shorten and redirect them.
struct RestoreOptions {
    QString serverProgram;  // empty: looked for (RestorePrograms)
    QString tempRoot;       // where the throwaway server's folder goes; empty: the system's temporary folder
    int limitMs = 30 * 60 * 1000;
    int startLimitMs = 120 * 1000;  // initialising and starting the server
    int stopLimitMs = 30 * 1000;    // a clean shutdown, then it is killed
};
