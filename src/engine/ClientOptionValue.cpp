#include "engine/ClientOptionValue.h"

QByteArray ClientOptionValue(const QString &value)
{
    QByteArray quoted = "\"";
    for (char c : value.toUtf8()) {
        switch (c) {
        case '\\': quoted += "\\\\"; break;
        case '"': quoted += "\\\""; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default: quoted += c; break;
        }
    }
    return quoted + '"';
}
