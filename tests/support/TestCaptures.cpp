#include "TestCaptures.h"

#include "state/AppState.h"

void TestCaptures::addFrames(AppState &state, const QList<QList<int>> &timesPerGroup)
{
    while (state.groups().size() < timesPerGroup.size())
        state.addGroup();
    QList<CaptureGroup> groups = state.groups();
    for (int g = 0; g < timesPerGroup.size(); ++g) {
        for (int value : timesPerGroup[g])
            groups[g].frames << CapturedFrame(MediaTime(value, 30));
    }
    state.setGroups(groups);
}

void TestCaptures::fill(AppState &state, const QList<int> &framesPerGroup)
{
    QList<QList<int>> times;
    int value = 0;
    for (int count : framesPerGroup) {
        QList<int> group;
        for (int i = 0; i < count; ++i)
            group << ++value;
        times << group;
    }
    addFrames(state, times);
}
