#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>
#include <QSet>

// Capturing a frame: appends it to a group and selects it alone.
class CaptureFrameCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(CaptureFrameCommand)

public:
    CaptureFrameCommand(CaptureDocument *document, const CapturedFrame &frame, const QUuid &groupId);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frame.id}, m_groupId}; }

private:
    CapturedFrame m_frame;
    QUuid m_groupId;
    QSet<QUuid> m_selectionBefore;
};
