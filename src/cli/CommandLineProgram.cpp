#include "cli/CommandLineProgram.h"

#include "cli/TaskListing.h"
#include "tasks/TaskStore.h"

CommandLineProgram::CommandLineProgram(CommandLineRequest request, TaskStore &store, bool german, FILE *out,
                                       FILE *err, QObject *parent)
    : QObject(parent), m_request(std::move(request)), m_store(store), m_german(german), m_out(out), m_err(err)
{
}

QString CommandLineProgram::pick(const char *english, const char *german) const
{
    return QString::fromUtf8(m_german ? german : english);
}

bool CommandLineProgram::write(FILE *stream, const QString &text)
{
    // Output to a file or pipe that fails (full disk, closed reader) must not
    // pass for a complete answer.
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size())
           && std::fflush(stream) == 0;
}

int CommandLineProgram::start()
{
    switch (m_request.mode) {
    case CommandLineRequest::Help:
        return write(m_out, CommandLine::helpText(m_german)) ? ExitStatus::Stored : ExitStatus::Failed;
    case CommandLineRequest::Version:
        return write(m_out, CommandLine::versionText()) ? ExitStatus::Stored : ExitStatus::Failed;
    case CommandLineRequest::List:
        return list();
    case CommandLineRequest::UsageError:
        write(m_err, m_request.error + QLatin1Char('\n')
                         + pick("Try --help.", "Siehe --help.") + QLatin1Char('\n'));
        return ExitStatus::Usage;
    case CommandLineRequest::Run:
    case CommandLineRequest::RunDue:
    case CommandLineRequest::Window:
        break;
    }
    write(m_err, pick("Runs from the command line are not available in this build.\n",
                      "Läufe von der Kommandozeile sind in dieser Version nicht verfügbar.\n"));
    return ExitStatus::Usage;
}

int CommandLineProgram::list()
{
    const TaskListing::Listing listing = TaskListing::read(m_store);
    const bool written = m_request.json ? write(m_out, QString::fromUtf8(TaskListing::json(listing.tasks)))
                                        : write(m_out, TaskListing::table(listing.tasks));
    for (const QString &name : listing.unreadable)
        write(m_err, pick("The task \"%1\" could not be read.\n", "Die Aufgabe \"%1\" konnte nicht gelesen werden.\n")
                         .arg(name));
    return written && listing.unreadable.isEmpty() ? ExitStatus::Stored : ExitStatus::Failed;
}
