#pragma once

#include <QString>
#include <QtGlobal>

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
    // HTTP redirects followed at most.
    int maxRedirects = 5;
    // Extra certificates trusted for HTTPS (PEM file); empty: the system's.
    QString caCertificateFile;
};
