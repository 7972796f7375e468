#include "CaptureGroup.h"

qsizetype CaptureGroup::indexOfFrame(const QUuid &frameId) const
{
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (frames.at(i).id == frameId)
            return i;
    }
    return -1;
}
