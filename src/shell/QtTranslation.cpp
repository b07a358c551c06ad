#include "shell/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

QtTranslation::QtTranslation() = default;

QtTranslation::~QtTranslation()
{
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}

QString QtTranslation::directory()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool QtTranslation::apply(int language)
{
    if (language == 0) {
        if (m_installed)
            QCoreApplication::removeTranslator(&m_translator);
        m_installed = false;
        return true;
    }
    if (!m_loaded)
        m_loaded = m_translator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                                     QStringLiteral("_"), directory());
    if (m_loaded && !m_installed)
        m_installed = QCoreApplication::installTranslator(&m_translator);
    return m_installed;
}
