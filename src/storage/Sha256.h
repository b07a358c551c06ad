#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

// SHA-256 through OpenSSL's libcrypto, which uses the processor's SHA
// instructions: several times the speed of a portable implementation, so
// hashing a dump costs little beside receiving it.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void reset();
    void addData(QByteArrayView data);
    // Reads the device to its end; false on a read error.
    bool addData(QIODevice &device);
    // The digest so far, in lower-case hex; more data may follow.
    QByteArray hexResult() const;

private:
    struct evp_md_ctx_st *m_ctx;
};
