#pragma once

#include <QString>

// What a failed system call means, in words the user reads: the errno values that reading and
// writing files can give, in French ("disque plein", "permission refusée").
namespace SystemErrorText {

QString describe(int errorNumber);

} // namespace SystemErrorText
