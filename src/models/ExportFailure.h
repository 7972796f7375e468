#pragma once

#include <QString>
#include <QUuid>

// One frame that could not be exported, or a group's Markdown file that could not be written, as
// listed in the export panel.
struct ExportFailure
{
    QUuid id = QUuid::createUuid();
    QString timestamp; // the frame's time in display form; the Markdown file's name
    QString message;
    bool isFrame = true; // false for a Markdown file, which is no image of the count
};
