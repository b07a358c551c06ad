#pragma once

#include <QObject>
#include <QString>
#include <functional>

// The desktop's keyring (Secret Service, KWallet, Credential Manager)
// through QtKeychain. Every call returns at once and answers through its
// callback on the calling thread, in the event loop; a keyring that shows an
// unlock prompt shows it by itself, nothing here waits for it.
namespace Keyring {

enum class Result {
    Done,
    NotFound,     // no such entry (a read or a removal)
    Unreachable,  // locked, refused, or no keyring at all
};

// The entry of one secret: the key tells the program's entries apart, the
// label is what the keyring's own window shows.
struct Entry {
    QString key;
    QString label;
};

using ReadDone = std::function<void(Result, const QString &value)>;
using Done = std::function<void(Result)>;

// A keyring may be there to ask: a session bus with a Secret Service or
// KWallet on it, or activatable (always on Windows and macOS). Asks the bus
// and returns; a locked keyring is reachable.
bool reachable();

// The callbacks are dropped when context goes first. Without mayPrompt
// (a run, the start), a locked keyring answers Unreachable at once instead
// of asking to be unlocked; with it (a command of the user's) the keyring
// may show its own prompt, and the answer comes when the user is done.
void read(const Entry &entry, QObject *context, ReadDone done, bool mayPrompt = false);
void write(const Entry &entry, const QString &value, QObject *context, Done done, bool mayPrompt = false);
void remove(const Entry &entry, QObject *context, Done done, bool mayPrompt = false);

// The Secret Service's default collection is locked.
bool locked();
}
