// Font names the windows ask for ("ＭＳ Ｐゴシック", "FixedSys", "System") mapped onto fonts
// that are installed here, so Japanese renders everywhere.
#pragma once

#include <QFont>
#include <string>

namespace app {

// A font for the given Shift-JIS face name at the given pixel size (pointSize < 0 keeps pixels).
QFont MapFont(const std::string& sjisFaceName, int pixelSize);
// The same with a point size.
QFont MapFontPoints(const std::string& sjisFaceName, int pointSize);

} // namespace app
