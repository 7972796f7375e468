#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

#include <array>

// Giving an annotation another colour.
class AnnotationColorCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(AnnotationColorCommand)

public:
    // `before` is the annotation as it is now; `rgba` the new colour in sRGB, 0 to 1.
    AnnotationColorCommand(CaptureDocument *document, const QUuid &frameId, const Annotation &before,
                           const std::array<double, 4> &rgba);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }

private:
    void write(const std::array<double, 4> &rgba) const;

    QUuid m_frameId;
    QUuid m_annotationId;
    std::array<double, 4> m_before;
    std::array<double, 4> m_after;
};
