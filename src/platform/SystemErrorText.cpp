#include "SystemErrorText.h"

#include <QCoreApplication>

#include <cerrno>

namespace SystemErrorText {

QString describe(int errorNumber)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("SystemErrorText", text); };
    switch (errorNumber) {
    case ENOSPC:
        return tr("disque plein");
    case EDQUOT:
        return tr("quota de disque dépassé");
    case EACCES:
    case EPERM:
        return tr("permission refusée");
    case EROFS:
        return tr("disque en lecture seule");
    case ENOENT:
        return tr("fichier ou dossier introuvable");
    case ENOTDIR:
        return tr("un élément du chemin n'est pas un dossier");
    case EISDIR:
        return tr("c'est un dossier");
    case EEXIST:
        return tr("un fichier de ce nom existe déjà");
    case EFBIG:
        return tr("fichier trop volumineux");
    case ENAMETOOLONG:
        return tr("nom trop long");
    case ELOOP:
        return tr("trop de liens symboliques");
    case EIO:
        return tr("erreur de lecture ou d'écriture sur le disque");
    case ENOMEM:
        return tr("mémoire insuffisante");
    case EMFILE:
    case ENFILE:
        return tr("trop de fichiers ouverts");
    case EBUSY:
    case ETXTBSY:
        return tr("fichier occupé");
    case ENXIO:
    case ENODEV:
        return tr("périphérique absent");
    case EINVAL:
        return tr("opération non permise sur ce fichier");
    }
    return QCoreApplication::translate("SystemErrorText", "erreur système n° %1").arg(errorNumber);
}

} // namespace SystemErrorText
