#pragma once

#include <QString>
#include <QUrl>

namespace kiv {

/// The mailbox that technical support requests are sent to.
QString SupportAddress();

/// The subject of a support request: "KIV Support for " and the compiler's version text with
/// every blank (any white space) removed; "{?}" is appended when an immediate response with a
/// tracking number is requested.
QString SupportSubject(const QString &compilerVersion, bool immediateResponse);

/// A "mailto:" URL addressed to SupportAddress() with the subject of SupportSubject(). The
/// subject is percent-encoded as UTF-8; only the unreserved characters (letters, digits, "-",
/// ".", "_", "~") stay as they are, so "&", "#", "+", "=" and "%" in a version text cannot end
/// the subject early or be read as a space.
QUrl SupportMailUrl(const QString &compilerVersion, bool immediateResponse);

/// The hints shown in the support dialog on what a useful support request contains.
QString SupportHints();

/// The IDE's own version, from the build.
QString ProgramVersion();

}  // namespace kiv
