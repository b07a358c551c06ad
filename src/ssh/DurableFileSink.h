#pragma once

#include <QFile>
#include <QString>

#include "retrieval/DumpCompletion.h"
#include "ssh/DumpSink.h"

// Streams into a temporary file beside the target and replaces the target
// only on commit(), after the data has reached the disk: unbuffered writes,
// each checked; fsync before the rename and of the directory after it. The
// commit also refuses a stream without mysqldump's completion line, so a
// caller's slip cannot store a broken dump over a good one.
class DurableFileSink : public DumpSink {
public:
    explicit DurableFileSink(const QString &targetFile, bool requireCompletion = true);
    ~DurableFileSink() override;

    bool open() override;
    bool write(const char *data, qint64 size) override;
    bool commit() override;
    void abort() override;
    QString errorString() const override { return m_error; }

    QString temporaryPath() const { return m_file.fileName(); }

private:
    bool fail(const QString &error);

    QString m_target;
    bool m_requireCompletion;
    QFile m_file;
    DumpCompletionCheck m_completion;
    QString m_error;
};

// Makes the data of an open file durable; false with errno-style text on failure.
bool SyncFileToDisk(QFile &file, QString *error);
// Replaces target by source in one step (the old target stays until then).
bool ReplaceFile(const QString &source, const QString &target, QString *error);
