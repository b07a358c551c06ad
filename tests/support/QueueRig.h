#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>

#include "FakeClock.h"
#include "FakeRetriever.h"
#include "RecordingProtocolView.h"
#include "RecordingRunEvents.h"
#include "TestPacing.h"
#include "engine/ProtocolLog.h"
#include "run/RunQueue.h"
#include "shell/LanguageTexts.h"
#include "telnet/TelnetClient.h"

// A run queue whose telnet client goes to a test host on `port`, with every
// line, window call, fetch and outcome recorded.
struct QueueRig {
    LanguageTexts texts;
    FakeClock clock;
    RecordingProtocolView view;
    ProtocolLog log{texts, clock};
    RecordingRunEvents events;
    FakeRetriever retriever;
    TTelnetClient client;
    std::unique_ptr<RunQueue> queue;
    QList<RunOutcome> outcomes;

    explicit QueueRig(quint16 port, SessionPacing pacing = FastPacing())
    {
        texts.refill();
        log.setView(&view);
        client.setRemotePort(port);
        queue = std::make_unique<RunQueue>(client, log, texts, events, retriever, pacing);
        QObject::connect(queue.get(), &RunQueue::runFinished, [this](const RunOutcome &o) {
            outcomes.append(o);
            events.noteOutcome(o);
        });
    }
    // The same, with transports of the test's own making.
    explicit QueueRig(RunQueue::TransportFactory transports)
    {
        texts.refill();
        log.setView(&view);
        queue = std::make_unique<RunQueue>(std::move(transports), log, texts, events, retriever);
        QObject::connect(queue.get(), &RunQueue::runFinished, [this](const RunOutcome &o) {
            outcomes.append(o);
            events.noteOutcome(o);
        });
    }
    QStringList messages() const { return view.messages(); }
};
