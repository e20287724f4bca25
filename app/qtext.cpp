#include "qtext.h"

#include "codec.h"
#include "win_color.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <ctime>

#include <vector>

namespace app {

QString ToQ(std::string_view sjis) {
    // Through the table rather than iconv: a result pane converts every hit line, and a call
    // into iconv per line costs more than the rest of the line's way into the pane. The table
    // holds exactly what the converter gives for each character; the bytes it cannot take are
    // split as the converter's caller splits them (see cp932::ToUtf8).
    const char16_t* table = Cp932Table();
    const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
    const std::size_t n = sjis.size();
    QString out(static_cast<qsizetype>(n), Qt::Uninitialized);
    QChar* o = out.data();
    qsizetype k = 0;
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        if (!cp932::IsLeadByte(b)) {
            o[k++] = QChar(table[b]);
            ++i;
        } else if (i + 1 < n && cp932::IsTrailByte(p[i + 1])) {
            o[k++] = QChar(table[b * 256 + p[i + 1]]);
            i += 2;
        } else {
            o[k++] = QChar(u'\uFFFD');
            ++i;
        }
    }
    out.truncate(k);
    return out;
}

std::string FromQ(const QString& text) {
    return cp932::FromUtf16Lossy(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

const char16_t* Cp932Table() {
    static const std::vector<char16_t> table = [] {
        const char16_t* chars = cp932::CodeCharTable();
        std::vector<char16_t> t(chars, chars + 65536);
        for (std::size_t code = 1; code < t.size(); ++code)
            if (t[code] == 0) t[code] = u'\uFFFD';
        return t;
    }();
    return table.data();
}

std::int64_t CoarseClockMs() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
#else
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
#endif
}

QColor ToQColor(std::uint32_t color) {
    const wincolor::TRgb rgb = wincolor::ToRgb(color);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

std::uint32_t FromQColor(const QColor& color) {
    return wincolor::FromRgb(color.red(), color.green(), color.blue());
}

void PumpEvents() {
    static std::int64_t last = -1;
    const std::int64_t now = CoarseClockMs();
    if (last >= 0 && now - last < 4) return;
    QCoreApplication::processEvents();
    last = CoarseClockMs();
}

QString PathToQ(std::string_view sjisPath) {
    return QString::fromStdString(cp932::PathToNative(sjisPath));
}

} // namespace app
