#pragma once

#include "models/CutoutCorrection.h"
#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// One correction of a frame's cut-out (a subject dropped or added, a brush stroke): it goes after
// the frame's other corrections.
class CutoutCorrectionCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(CutoutCorrectionCommand)

public:
    CutoutCorrectionCommand(CaptureDocument *document, const QUuid &frameId,
                            const CutoutCorrection &correction);

    void redo() override;
    void undo() override;

private:
    QUuid m_frameId;
    CutoutCorrection m_correction;
};
