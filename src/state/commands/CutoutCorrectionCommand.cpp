#include "CutoutCorrectionCommand.h"

namespace {

// The step's name, bare and with its article.
std::pair<QString, QString> namesOf(CutoutCorrection::Kind kind)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("CutoutCorrectionCommand", text);
    };
    switch (kind) {
    case CutoutCorrection::Kind::DropSubject:
        return {tr("retrait du sujet"), tr("le retrait du sujet")};
    case CutoutCorrection::Kind::AddSubject:
    case CutoutCorrection::Kind::AddSubjectInBox:
        return {tr("ajout du sujet"), tr("l'ajout du sujet")};
    case CutoutCorrection::Kind::Erase:
        return {tr("effacement"), tr("l'effacement")};
    case CutoutCorrection::Kind::Restore:
        break;
    }
    return {tr("restauration"), tr("la restauration")};
}

} // namespace

CutoutCorrectionCommand::CutoutCorrectionCommand(CaptureDocument *document, const QUuid &frameId,
                                                 const CutoutCorrection &correction)
    : DocumentCommand(document, namesOf(correction.kind).first, namesOf(correction.kind).second)
    , m_frameId(frameId)
    , m_correction(correction)
{}

void CutoutCorrectionCommand::redo()
{
    writeCorrections(m_frameId,
                     document()->frame(m_frameId)->corrections + QList<CutoutCorrection>{m_correction});
}

void CutoutCorrectionCommand::undo()
{
    // The stack undoes in order: this command's correction is the frame's last one.
    QList<CutoutCorrection> corrections = document()->frame(m_frameId)->corrections;
    if (!corrections.isEmpty())
        corrections.removeLast();
    writeCorrections(m_frameId, corrections);
}
