#include "ui/Magnet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ui {
namespace {

// One axis of a move: the window spans [low, high) in an area [areaLow, areaHigh).
struct Span {
    int low;
    int high;
};

// How far the window shifts on one axis; dir is +1 toward high, -1 toward low.
// `snapOnly`: no jumps, anything under the magnet distance goes flush.
std::optional<int> axisShift(Span window, Span area, int dir, bool snapOnly) {
    // Distances measured inside the area: negative is past its edge.
    const int leadInside = dir > 0 ? area.high - window.high : window.low - area.low;
    const int otherInside = dir > 0 ? window.low - area.low : area.high - window.high;
    // Shifts that give the leading or the other edge a distance d inside.
    const auto leadTo = [&](int d) { return dir * (leadInside - d); };
    const auto otherTo = [&](int d) { return dir * (d - otherInside); };
    const auto within = [](int value, int lowest, int highest) {
        return value >= lowest && value <= highest;
    };

    if (snapOnly) {
        if (leadInside != 0 && std::abs(leadInside) < kMagnetDistance) return leadTo(0);
        if (otherInside != 0 && std::abs(otherInside) < kMagnetDistance) return otherTo(0);
        return std::nullopt;
    }
    if (leadInside != 0 && within(leadInside, -1, kMagnetDistance)) return leadTo(0);
    if (within(leadInside, -kMagnetDistance, -2)) return leadTo(-kMagnetDistance);
    if (otherInside != 0 && within(otherInside, -kMagnetDistance, 1)) return otherTo(0);
    if (within(otherInside, 2, kMagnetDistance)) return otherTo(kMagnetDistance);
    return std::nullopt;
}

std::size_t edgeIndex(WindowEdge edge) {
    return static_cast<std::size_t>(edge);
}

bool overlaps(int lowA, int highA, int lowB, int highB) {
    return lowA < highB && lowB < highA;
}

// Re-entrancy guard: moves the magnet makes itself are not drags.
bool& placingWindows() {
    static bool placing = false;
    return placing;
}

QRect workAreaFor(const QRect& window) {
    QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(window);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (!best) best = QGuiApplication::primaryScreen();
    return best ? best->availableGeometry() : QRect();
}

class Magnet : public QObject {
  public:
    explicit Magnet(QWidget* window) : QObject(window), window_(window) {
        setObjectName(QStringLiteral("magnet"));
        clock_.start();
        window->installEventFilter(this);
    }

    void setHeld(bool held) { held_ = held; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Move) moved();
        return false;
    }

  private:
    void moved() {
        const QRect to = window_->frameGeometry();
        const std::optional<QRect> from = last_;
        last_ = to;
        if (held_ || placingWindows() || !from || *from == to || !window_->isVisible()) return;
        if (from->size() != to.size()) return;  // a resize, not a drag

        const MagnetMove result = magnetMove(*from, to, workAreaFor(to), state_, clock_.elapsed());
        state_ = result.state;
        last_ = result.rect;

        placingWindows() = true;
        const QPoint travel = result.rect.topLeft() - from->topLeft();
        for (QWidget* other : gluedTo(*from))
            other->move(other->frameGeometry().topLeft() + travel);
        if (result.rect != to) window_->move(result.rect.topLeft());
        placingWindows() = false;
    }

    std::vector<QWidget*> gluedTo(const QRect& rect) const {
        std::vector<QWidget*> candidates;
        std::vector<QRect> frames;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            const Qt::WindowType type = widget->windowType();
            if (widget == window_ || !widget->isVisible() ||
                (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool))
                continue;
            candidates.push_back(widget);
            frames.push_back(widget->frameGeometry());
        }
        std::vector<QWidget*> glued;
        for (std::size_t index : gluedWindows(rect, frames)) glued.push_back(candidates[index]);
        return glued;
    }

    QWidget* window_;
    std::optional<QRect> last_;
    bool held_ = false;
    MagnetState state_;
    QElapsedTimer clock_;
};

}  // namespace

MagnetMove magnetMove(const QRect& from, const QRect& to, const QRect& workArea,
                      const MagnetState& state, qint64 now) {
    MagnetMove result{to, state};
    const auto handle = [&](int fromLow, int toLow, int size, int areaLow, int areaSize,
                            WindowEdge lowEdge, WindowEdge highEdge) -> int {
        const int dir = toLow > fromLow ? 1 : toLow < fromLow ? -1 : 0;
        if (dir == 0) return 0;
        const WindowEdge leading = dir > 0 ? highEdge : lowEdge;
        const std::optional<qint64>& last = state.lastSnap[edgeIndex(leading)];
        const bool snapOnly = last && now - *last < kSnapOnlyPeriod;
        const std::optional<int> shift =
            axisShift({toLow, toLow + size}, {areaLow, areaLow + areaSize}, dir, snapOnly);
        if (!shift) return 0;
        result.state.lastSnap[edgeIndex(leading)] = now;
        return *shift;
    };
    const int dx = handle(from.x(), to.x(), to.width(), workArea.x(), workArea.width(),
                          WindowEdge::Left, WindowEdge::Right);
    const int dy = handle(from.y(), to.y(), to.height(), workArea.y(), workArea.height(),
                          WindowEdge::Top, WindowEdge::Bottom);
    result.rect.translate(dx, dy);
    return result;
}

std::vector<std::size_t> gluedWindows(const QRect& window, const std::vector<QRect>& others) {
    const int left = window.x(), top = window.y();
    const int right = left + window.width(), bottom = top + window.height();
    std::vector<std::size_t> glued;
    for (std::size_t index = 0; index < others.size(); ++index) {
        const QRect& other = others[index];
        const int otherRight = other.x() + other.width();
        const int otherBottom = other.y() + other.height();
        const bool sideBySide = (other.x() == right || otherRight == left) &&
                                overlaps(top, bottom, other.y(), otherBottom);
        const bool stacked = (other.y() == bottom || otherBottom == top) &&
                             overlaps(left, right, other.x(), otherRight);
        if (sideBySide || stacked) glued.push_back(index);
    }
    return glued;
}

bool windowsCanBePlaced() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("windows") ||
           platform == QLatin1String("offscreen");
}

void attachMagnet(QWidget* window) {
    if (!windowsCanBePlaced() || hasMagnet(window)) return;
    new Magnet(window);
}

namespace {

Magnet* magnetOf(const QWidget* window) {
    return window ? dynamic_cast<Magnet*>(window->findChild<QObject*>(QStringLiteral("magnet"),
                                                                      Qt::FindDirectChildrenOnly))
                  : nullptr;
}

}  // namespace

bool hasMagnet(const QWidget* window) {
    return magnetOf(window) != nullptr;
}

void holdMagnet(QWidget* window, bool held) {
    if (Magnet* magnet = magnetOf(window)) magnet->setHeld(held);
}

}  // namespace ui
