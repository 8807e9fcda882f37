#ifndef VELXMLN_CODEPAGE_H
#define VELXMLN_CODEPAGE_H

#include <VelXmlN/Export.h>

namespace VelXmlN {

/// The code page of the library's narrow strings (names, values and texts held in std::string).
///
/// `System` is the code page the platform gives narrow strings: the ANSI code page on Windows and
/// UTF-8 on every other host. `Utf8` and `Windows1252` choose one explicitly on any host;
/// `Windows1252` makes a narrow "\xE4" stand for "ä" (written to XML as the bytes C3 A4).
///
/// Conversions follow two rules. From UTF-16 to narrow text, every character that the code page
/// cannot hold becomes one "?" (also a character beyond U+FFFF and an unpaired surrogate). From
/// narrow text to UTF-16, every byte sequence that is not valid in the code page (invalid UTF-8;
/// in Windows-1252 the bytes 81, 8D, 8F, 90 and 9D) becomes U+FFFD, so written XML is always valid
/// UTF-8.
enum class NarrowCodePage { System, Utf8, Windows1252 };

/// Chooses the narrow code page for the whole process. Like the system's ANSI code page this is a
/// start-up setting: set it once, before other threads use the library. The default is `System`.
VELXMLN_API void setNarrowCodePage(NarrowCodePage codePage);

/// The code page chosen with setNarrowCodePage (`System` unless changed).
VELXMLN_API NarrowCodePage getNarrowCodePage();

}  // namespace VelXmlN

#endif
