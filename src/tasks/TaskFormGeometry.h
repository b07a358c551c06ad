#pragma once

#include <QString>
#include <QWidget>

// Geometry of the task editor's design, shared by the form and its sections.
namespace TaskFormGeometry {
constexpr int kClientWidth = 659;
// The design's 551 pixels, grown by the stored-backup, SSH and mysqldump
// sections, the off-site section and the FTP security, test restore, health
// check and host compression rows.
constexpr int kClientHeight = 996;
constexpr int kHeadingX = 8;
constexpr int kCaptionX = 13;
constexpr int kFieldX = 168;
constexpr int kHelpX = 304;
constexpr int kHelpBesideSmallX = 256;  // beside the time entry and the lists
constexpr int kHelpBesideAddressX = 520;
constexpr int kTextWidth = 129;
constexpr int kDirectoryWidth = 425;
constexpr int kAddressWidth = 345;
constexpr int kTimeWidth = 34;
constexpr int kListWidth = 81;
constexpr int kTlsBoxWidth = 170;  // the FTPS check box, its help beside it
constexpr int kKeepWidth = 52;
constexpr int kKeepStep = 130;  // a keep count and its unit
constexpr int kFieldHeight = 21;
constexpr int kRowStep = 23;
constexpr int kHeadingStep = 22;
constexpr int kSectionGap = 3;
constexpr int kTop = 6;

// The editor's texts break lines with CR; Qt breaks them only on LF.
inline QString shown(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

inline void setHint(QWidget *w, const QString &text)
{
    w->setToolTip(shown(text));
}
} // namespace TaskFormGeometry
