#pragma once

#include <QStringList>

#include "engine/ProtocolLog.h"

// Keeps the protocol lines; messages() drops the time stamp and tab.
class RecordingProtocolView final : public ProtocolView {
public:
    void appendProtocolLine(const QString &line) override { lines.append(line); }
    void clearProtocol() override { lines.clear(); }

    QStringList messages() const
    {
        QStringList out;
        for (const QString &l : lines)
            out.append(l.section(QLatin1Char('\t'), 1));
        return out;
    }

    QStringList lines;
};
