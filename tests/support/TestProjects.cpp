#include "TestProjects.h"

#include "state/AppState.h"

#include <QTest>

bool TestProjects::open(AppState &state, const QUrl &url)
{
    state.openProject(url);
    return QTest::qWaitFor([&] { return !state.isOpeningProject(); }, 120000);
}
