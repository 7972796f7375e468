#include "DocumentContent.h"

#include <QCoreApplication>

QString DocumentContent::defaultGroupName()
{
    return QCoreApplication::translate("DocumentContent", "Captures");
}

DocumentContent DocumentContent::fresh()
{
    DocumentContent content;
    const CaptureGroup first(defaultGroupName());
    content.groups = {first};
    content.activeGroupID = first.id;
    return content;
}
