#include "fonts.h"

#include "qtext.h"

#include <QFontDatabase>
#include <QStringList>

namespace app {
namespace {

// Installed families to try for a requested face, best first. The IPA fonts come with the
// fonts-ipafont-gothic package; the rest are fallbacks found on other systems.
QStringList Candidates(const QString& face) {
    const bool fixed = face.compare(U("FixedSys"), Qt::CaseInsensitive) == 0 ||
                       face.contains(U("ＭＳ ゴシック")) || face.contains(U("ＭＳ 明朝"));
    if (fixed)
        return {U("IPAGothic"), U("IPAゴシック"), U("Noto Sans Mono CJK JP"), U("VL Gothic"),
                U("MS Gothic"), U("Osaka－等幅"), U("DejaVu Sans Mono"),      U("Monospace")};
    return {U("IPAPGothic"), U("IPAPゴシック"), U("Noto Sans CJK JP"),
            U("VL PGothic"), U("MS PGothic"),   U("Hiragino Sans"),
            U("Meiryo"),     U("IPAGothic"),    U("Sans Serif")};
}

QFont Map(const std::string& sjisFaceName) {
    const QString face = ToQ(sjisFaceName);
    const QStringList families = QFontDatabase::families();
    QFont font;
    if (families.contains(face)) {
        font.setFamily(face);
        return font;
    }
    const QStringList candidates = Candidates(face);
    QStringList present;
    for (const QString& c : candidates)
        if (families.contains(c)) present << c;
    font.setFamilies(present.isEmpty() ? candidates : present);
    if (face.compare(U("FixedSys"), Qt::CaseInsensitive) == 0) font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace

QFont MapFont(const std::string& sjisFaceName, int pixelSize) {
    QFont f = Map(sjisFaceName);
    if (pixelSize > 0) f.setPixelSize(pixelSize);
    return f;
}

QFont MapFontPoints(const std::string& sjisFaceName, int pointSize) {
    QFont f = Map(sjisFaceName);
    if (pointSize > 0) f.setPointSize(pointSize);
    return f;
}

} // namespace app
