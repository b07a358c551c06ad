#pragma once

#include <QTranslator>

// Qt's own texts (the buttons of message boxes, the file dialog, the command
// line's usage lines) in the interface language: Qt's German translations
// for German, Qt's built-in English otherwise.
class QtTranslation {
public:
    QtTranslation();
    ~QtTranslation();
    QtTranslation(const QtTranslation &) = delete;
    QtTranslation &operator=(const QtTranslation &) = delete;

    // 0 English; any other value reads as German everywhere, so here too.
    // false when German was asked but Qt's translations are not installed
    // (the texts then stay English).
    bool apply(int language);
    bool germanInstalled() const { return m_installed; }

    // Where Qt's translations are looked for.
    static QString directory();

private:
    QTranslator m_translator;
    bool m_loaded = false;
    bool m_installed = false;
};
