#pragma once

#include <QString>
#include <functional>

#include "engine/BackupService.h"
#include "engine/ProtocolLog.h"

// What a run from the command line is given: the engine's options.
using HeadlessOptions = BackupServiceOptions;

// The command line's protocol view: every status line goes to a callback as
// it is written, nothing is shown.
class HeadlessRun final : public ProtocolView {
public:
    using LineSink = std::function<void(const QString &line)>;

    explicit HeadlessRun(LineSink lines) : m_lines(std::move(lines)) {}

    void appendProtocolLine(const QString &line) override { m_lines(line); }
    void clearProtocol() override {}

private:
    LineSink m_lines;
};
