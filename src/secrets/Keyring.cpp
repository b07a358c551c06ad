#include "secrets/Keyring.h"

#include <QPointer>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>

#ifdef Q_OS_UNIX
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusInterface>
#endif

namespace {
// A keyring that does not answer (a hung service) must not hold a run for
// ever. A user's command waits as long as the keyring's prompt is up.
constexpr int kAnswerLimitMs = 60 * 1000;

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
// A connection of its own, made from the environment as it is now: the
// application's shared session bus may have been tried (and failed) before
// the bus was there.
QDBusConnection sessionBus()
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("vaultwick-keyring"));
}
#endif

Keyring::Result resultOf(const QKeychain::Job &job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return Keyring::Result::Done;
    case QKeychain::EntryNotFound:
        return Keyring::Result::NotFound;
    default:
        return Keyring::Result::Unreachable;
    }
}

// Starts job and hands its result (or Unreachable at the limit) to finish once.
template <typename JobType, typename Finish>
void run(JobType *job, QObject *context, bool mayPrompt, Finish finish)
{
    job->setAutoDelete(true);
    auto answered = std::make_shared<bool>(false);
    QPointer<QObject> guard(context);
    auto *limit = new QTimer(job);
    limit->setSingleShot(true);
    QObject::connect(limit, &QTimer::timeout, context, [answered, finish] {
        if (*answered)
            return;
        *answered = true;
        finish(nullptr);
    });
    QObject::connect(job, &QKeychain::Job::finished, context, [answered, finish](QKeychain::Job *j) {
        if (*answered)
            return;
        *answered = true;
        finish(static_cast<JobType *>(j));
    });
    if (!mayPrompt)
        limit->start(kAnswerLimitMs);
    job->start();
}
}

namespace Keyring {

bool locked()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // A locked Secret Service hides its items: a read then finds nothing.
    QDBusInterface collection(QStringLiteral("org.freedesktop.secrets"),
                              QStringLiteral("/org/freedesktop/secrets/aliases/default"),
                              QStringLiteral("org.freedesktop.Secret.Collection"), sessionBus());
    if (!collection.isValid())
        return false;
    const QVariant value = collection.property("Locked");
    return value.isValid() && value.toBool();
#else
    return false;
#endif
}

bool reachable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Without a session bus (cron, a service) there is no keyring to ask.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    QDBusConnection bus = sessionBus();
    if (!bus.isConnected()) {
        // Tried again next time: the bus may come later in the session.
        QDBusConnection::disconnectFromBus(bus.name());
        return false;
    }
    if (!bus.interface())
        return false;
    static const QStringList names = {QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd6"),
                                      QStringLiteral("org.kde.kwalletd5")};
    for (const QString &name : names)
        if (bus.interface()->isServiceRegistered(name))
            return true;
    const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
    if (activatable.isValid())
        for (const QString &name : names)
            if (activatable.value().contains(name))
                return true;
    return false;
#else
    return true;
#endif
}

void read(const Entry &entry, QObject *context, ReadDone done, bool mayPrompt)
{
    if (!mayPrompt && locked()) {
        QTimer::singleShot(0, context, [done] { done(Result::Unreachable, QString()); });
        return;
    }
    // QtKeychain labels an entry with its service: the label is the service.
    auto *job = new QKeychain::ReadPasswordJob(entry.label);
    job->setKey(entry.key);
    run(job, context, mayPrompt, [done](QKeychain::ReadPasswordJob *j) {
        if (!j)
            done(Result::Unreachable, QString());
        else if (j->error() == QKeychain::NoError)
            done(Result::Done, j->textData());
        else
            done(j->error() == QKeychain::EntryNotFound && locked() ? Result::Unreachable : resultOf(*j), QString());
    });
}

void write(const Entry &entry, const QString &value, QObject *context, Done done, bool mayPrompt)
{
    if (!mayPrompt && locked()) {
        QTimer::singleShot(0, context, [done] { done(Result::Unreachable); });
        return;
    }
    auto *job = new QKeychain::WritePasswordJob(entry.label);
    job->setKey(entry.key);
    job->setTextData(value);
    run(job, context, mayPrompt, [done](QKeychain::WritePasswordJob *j) { done(j ? resultOf(*j) : Result::Unreachable); });
}

void remove(const Entry &entry, QObject *context, Done done, bool mayPrompt)
{
    if (!mayPrompt && locked()) {
        QTimer::singleShot(0, context, [done] { done(Result::Unreachable); });
        return;
    }
    auto *job = new QKeychain::DeletePasswordJob(entry.label);
    job->setKey(entry.key);
    run(job, context, mayPrompt, [done](QKeychain::DeletePasswordJob *j) { done(j ? resultOf(*j) : Result::Unreachable); });
}
}
