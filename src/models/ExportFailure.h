#pragma once

#include <QString>
#include <QUuid>

// One frame that could not be exported, as listed in the export panel.
struct ExportFailure
{
    QUuid id = QUuid::createUuid();
    QString timestamp; // the frame's time in display form
    QString message;
};
