#include "placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>

namespace app {
namespace {

// The least of a window that must lie on a screen for the user to reach its title bar.
constexpr int kMinVisibleWidth = 100;
constexpr int kMinVisibleHeight = 30;
constexpr int kMaxExtent = 100000;

QList<QRect> AvailableScreens() {
    QList<QRect> out;
    for (const QScreen* s : QGuiApplication::screens())
        out.push_back(s->availableGeometry());
    return out;
}

long long DistanceSquared(const QPoint& a, const QRect& r) {
    const long long dx = a.x() < r.left()    ? r.left() - a.x()
                         : a.x() > r.right() ? a.x() - r.right()
                                             : 0;
    const long long dy = a.y() < r.top()      ? r.top() - a.y()
                         : a.y() > r.bottom() ? a.y() - r.bottom()
                                              : 0;
    return dx * dx + dy * dy;
}

} // namespace

WindowPlacement PlacementOf(const QWidget& w) {
    WindowPlacement p;
    const Qt::WindowStates state = w.windowState();
    const bool maximized = state & (Qt::WindowMaximized | Qt::WindowFullScreen);
    const bool minimized = state & Qt::WindowMinimized;
    QRect normal = (maximized || minimized) ? w.normalGeometry() : w.geometry();
    if (!normal.isValid()) normal = w.geometry();
    p.Show = minimized   ? WindowPlacement::kShowMinimized
             : maximized ? WindowPlacement::kShowMaximized
                         : WindowPlacement::kShowNormal;
    p.Flags = (minimized && maximized) ? WindowPlacement::kRestoreToMaximized : 0;
    if (maximized && !minimized) {
        p.MaxX = w.geometry().x();
        p.MaxY = w.geometry().y();
    }
    p.Left = normal.x();
    p.Top = normal.y();
    p.Right = normal.x() + normal.width();
    p.Bottom = normal.y() + normal.height();
    return p;
}

void ApplyPlacement(QWidget& w, const WindowPlacement& p) {
    const long long width = static_cast<long long>(p.Right) - p.Left;
    const long long height = static_cast<long long>(p.Bottom) - p.Top;
    const bool sane = width > 0 && height > 0 && width <= kMaxExtent && height <= kMaxExtent &&
                      std::abs(static_cast<long long>(p.Left)) <= kMaxExtent &&
                      std::abs(static_cast<long long>(p.Top)) <= kMaxExtent;
    const bool maximize = p.Show == WindowPlacement::kShowMaximized ||
                          (p.Show == WindowPlacement::kShowMinimized &&
                           (p.Flags & WindowPlacement::kRestoreToMaximized));
    Qt::WindowStates state = w.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (w.isMaximized() || w.isMinimized()) w.setWindowState(state);
    if (sane) {
        QRect r(p.Left, p.Top, static_cast<int>(width), static_cast<int>(height));
        r.setSize(r.size().expandedTo(w.minimumSize()).boundedTo(w.maximumSize()));
        w.setGeometry(KeepVisible(r, AvailableScreens()));
    }
    if (maximize) state |= Qt::WindowMaximized;
    if (state != w.windowState()) w.setWindowState(state);
}

QRect KeepVisible(const QRect& r, const QList<QRect>& screens) {
    if (screens.isEmpty()) return r;
    for (const QRect& s : screens) {
        const QRect seen = r.intersected(s);
        if (seen.width() >= std::min(kMinVisibleWidth, r.width()) &&
            seen.height() >= std::min(kMinVisibleHeight, r.height()) && !seen.isEmpty())
            return r;
    }
    const QRect* nearest = &screens.front();
    long long best = LLONG_MAX;
    for (const QRect& s : screens) {
        const long long d = DistanceSquared(r.center(), s);
        if (d < best) best = d, nearest = &s;
    }
    QRect out(r.topLeft(), r.size().boundedTo(nearest->size()));
    out.moveLeft(std::clamp(out.left(), nearest->left(), nearest->right() - out.width() + 1));
    out.moveTop(std::clamp(out.top(), nearest->top(), nearest->bottom() - out.height() + 1));
    return out;
}

} // namespace app
