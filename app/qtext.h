// The boundary between the program's Shift-JIS text and Qt's Unicode strings.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// Shift-JIS to a QString for display; invalid bytes show as U+FFFD.
QString ToQ(std::string_view sjis);
// A QString to Shift-JIS; characters code page 932 lacks become "?".
std::string FromQ(const QString& text);
// A Shift-JIS file name or path as the user knows it: escaped characters (see
// cp932::PathFromNative) show as themselves, not as private-use characters.
QString PathToQ(std::string_view sjisPath);
// One UTF-16 character for every Shift-JIS character code: index a one-byte character by its
// byte, a two-byte one by lead byte * 256 + second byte. A code without a character (and a lead
// byte alone) gives U+FFFD. Built once; lets a drawing loop decode without allocating.
const char16_t* Cp932Table();
// Qt's pending events, for the event pump of a long loop: at most once in a few milliseconds,
// however often the loop calls it. A search calls its pump at every hit, and a pass of the event
// loop for each would cost more than the hits.
void PumpEvents();
// A monotonic clock in milliseconds for loops that look at it at every step: cheap to read, and
// only as fine as a few milliseconds. (A precise reading costs about 100 ns on a virtual
// machine, more than a hit's whole way into the result pane.)
std::int64_t CoarseClockMs();
// A colour as the settings and rich text files keep it (0x00BBGGRR, see win_color.h), and back.
QColor ToQColor(std::uint32_t color);
std::uint32_t FromQColor(const QColor& color);
// A UTF-8 literal from the source to a QString (captions written in the code).
inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace app
