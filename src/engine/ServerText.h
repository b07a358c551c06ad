#pragma once

#include <QString>

// Text a server chose (SSH standard error, a disconnect message, an FTP or
// HTTP error) made fit for the protocol, the Message column, the terminal and
// message boxes: terminal escape sequences (CSI, OSC and the like), C0 and
// C1 control characters, DEL and the bidirectional overrides are removed, so
// a host can neither drive the user's terminal nor disguise what a line says.
// Tabs and line breaks become single spaces; the ends are trimmed.
QString cleanServerText(const QString &text);
// A C0 or C1 control character, or DEL.
bool isControlCharacter(QChar c);
