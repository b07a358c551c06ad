#include "shell/AboutResources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be called from the global namespace.
static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

void EnsureAboutResources()
{
    static const bool done = [] {
        initAboutResources();
        return true;
    }();
    (void)done;
}
