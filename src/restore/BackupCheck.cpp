#include "restore/BackupCheck.h"

#include <QFileInfo>
#include <QPointer>

#include "restore/RestoreTexts.h"

BackupCheck::BackupCheck(RestoreOptions options, bool german, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_german(german)
{
}

BackupCheck::~BackupCheck()
{
    // The checksum thread only reads; its late report goes nowhere.
    if (m_worker.joinable())
        m_worker.join();
}

void BackupCheck::start(const QString &storedFile)
{
    m_file = storedFile;
    emit protocolLine(RestoreTexts::checking(storedFile, m_german));
    QPointer<BackupCheck> self(this);
    m_worker = std::thread([self, storedFile] {
        QString detail;
        const ChecksumState state = VerifyChecksum(storedFile, &detail);
        QMetaObject::invokeMethod(
            self.data(), [self, state, detail] {
                if (self)
                    self->checksummed(state, detail);
            },
            Qt::QueuedConnection);
    });
}

void BackupCheck::cancel()
{
    m_cancelled = true;
    if (m_test)
        m_test->cancel();
}

void BackupCheck::checksummed(ChecksumState state, const QString &detail)
{
    m_worker.join();
    m_checksum = state;
    const QString name = QFileInfo(m_file).fileName();
    switch (state) {
    case ChecksumState::Matches:
        emit protocolLine(RestoreTexts::checksumMatches(name, m_german));
        break;
    case ChecksumState::Missing:
        emit protocolLine(RestoreTexts::checksumMissing(name, m_german));
        break;
    case ChecksumState::Mismatch:
        emit protocolLine(RestoreTexts::checksumMismatch(name, m_german));
        emit finished(false);
        return;
    case ChecksumState::Unreadable:
        emit protocolLine(RestoreTexts::cannotRead(name, detail, m_german));
        emit finished(false);
        return;
    }
    if (m_cancelled) {
        emit protocolLine(RestoreTexts::failed(RestoreTexts::cancelled(m_german), m_german));
        emit finished(false);
        return;
    }
    m_test = std::make_unique<TestRestore>(m_options, m_german);
    connect(m_test.get(), &TestRestore::finished, this, &BackupCheck::restored);
    connect(m_test.get(), &TestRestore::progress, this, [this](qint64, int permille) { emit progress(permille); });
    emit protocolLine(RestoreTexts::started(name, m_german));
    m_test->start(m_file);
}

void BackupCheck::restored(const TestRestoreResult &result)
{
    m_restore = result;
    emit protocolLine(TestRestoreLine(result, m_german));
    emit finished(result.passed());
}
