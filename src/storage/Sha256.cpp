#include "storage/Sha256.h"

#include <QIODevice>
#include <openssl/evp.h>

Sha256::Sha256() : m_ctx(EVP_MD_CTX_new())
{
    reset();
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_ctx);
}

void Sha256::reset()
{
    EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr);
}

void Sha256::addData(QByteArrayView data)
{
    EVP_DigestUpdate(m_ctx, data.data(), size_t(data.size()));
}

bool Sha256::addData(QIODevice &device)
{
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = device.read(chunk.data(), chunk.size());
        if (n < 0)
            return false;
        if (n == 0)
            return device.atEnd();
        addData(QByteArrayView(chunk.constData(), n));
    }
}

QByteArray Sha256::hexResult() const
{
    // On a copy, so that the running digest can go on.
    EVP_MD_CTX *copy = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool ok = copy && EVP_MD_CTX_copy_ex(copy, m_ctx) && EVP_DigestFinal_ex(copy, digest, &size);
    EVP_MD_CTX_free(copy);
    return ok ? QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex() : QByteArray();
}
