#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>

// Settings of the retrieval that the program keeps fixed and tests shorten.
struct RetrievalOptions {
    // FTP control port.
    quint16 ftpPort = 21;
    // Time allowed to reach a server.
    int connectTimeoutMs = 30000;
    // Active mode: how long to wait for the server's data connection before
    // trying passive mode instead.
    int acceptTimeoutMs = 30000;
    // A transfer or server reply that stalls this long is broken off, so an
    // unattended night does not hang on a dead connection.
    int stallTimeoutS = 120;
    // The progress display is updated at most this often (milliseconds); a
    // transfer's last state is always shown.
    int progressIntervalMs = 50;
    // A transfer slower than this many bytes per second for lowSpeedTimeS
    // fails: a trickle must not hold the queue of runs for days.
    long lowSpeedBytesPerS = 1024;
    int lowSpeedTimeS = 300;
    // A download larger than this fails: a runaway or hostile server must not
    // fill the disk that holds the other backups.
    qint64 maxDownloadBytes = 64LL * 1024 * 1024 * 1024;
    // HTTP redirects followed at most.
    int maxRedirects = 5;
    // Extra certificates trusted for HTTPS and FTPS (PEM file); empty: the system's.
    QString caCertificateFile;
    // Set from the window thread to break a transfer off (program closing).
    std::shared_ptr<std::atomic<bool>> cancel;
};
