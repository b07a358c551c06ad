#pragma once

#include <QByteArray>

// mysqldump ends a dump it finished with a comment line beginning
// "-- Dump completed"; a dump cut short by a full disk, a killed process or a
// lost session lacks it. Watches the end of a stream as it arrives.
class DumpCompletionCheck {
public:
    void add(const char *data, qint64 size);
    void reset() { m_tail.clear(); }
    bool completed() const { return EndsWithDumpCompletion(m_tail); }
    const QByteArray &tail() const { return m_tail; }

    // True when the last non-blank line of text begins with the completion
    // comment. Trailing line breaks and blanks are allowed.
    static bool EndsWithDumpCompletion(const QByteArray &text);

private:
    QByteArray m_tail;  // the last bytes of the stream, enough for the last line
};
