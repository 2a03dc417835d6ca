// The window magnet: a window dragged near an edge of the work area snaps
// flush against it, comes loose again with a jump, and windows of the program
// that touch it travel along.
//
// The rules are a pure function of the move so that they can be checked on
// their own; attachMagnet() applies them to a window's moves where the window
// system lets a program place its windows (X11, Windows). Under Wayland a
// program cannot place its top-level windows, and the magnet stays off.
#pragma once

#include <QRect>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

class QWidget;

namespace ui {

constexpr int kMagnetDistance = 15;      // pixels
constexpr qint64 kSnapOnlyPeriod = 250;  // milliseconds

enum class WindowEdge { Left, Top, Right, Bottom };

// When each edge last snapped or jumped, on a millisecond clock.
struct MagnetState {
    std::array<std::optional<qint64>, 4> lastSnap{};
};

struct MagnetMove {
    QRect rect;  // where the window goes; same size as the dragged rectangle
    MagnetState state;
};

// The window was at `from` and the user drags it to `to` (outer frames, same
// size), at time `now`. Each axis is handled by the direction of the move on it:
// - the edge toward which the window moves snaps flush when it ends 1 to 15
//   pixels inside the work area's matching edge (and stays flush 1 pixel past
//   it); 2 to 15 pixels past, it jumps out to 15 pixels past;
// - the opposite edge, leaving the work area's edge it was flush with, jumps to
//   15 pixels inside when it ends 2 to 15 pixels inside (it stays flush at 1),
//   and is placed flush when it ends 1 to 15 pixels outside;
// - for kSnapOnlyPeriod after the leading edge last snapped or jumped, an edge
//   under 15 pixels from its matching edge, on either side, is placed flush and
//   nothing jumps.
MagnetMove magnetMove(const QRect& from, const QRect& to, const QRect& workArea,
                      const MagnetState& state, qint64 now);

// The indexes of the windows in `others` that touch `window` edge to edge and
// overlap it along that edge: they move with it.
std::vector<std::size_t> gluedWindows(const QRect& window, const std::vector<QRect>& others);

// Whether the window system lets the program place its windows.
bool windowsCanBePlaced();

// Applies the magnet to the window's moves from now on (nothing where windows
// cannot be placed).
void attachMagnet(QWidget* window);
bool hasMagnet(const QWidget* window);
// While held, the window's moves are the program's own placing (and the
// window system's answers to it), never drags: the magnet leaves them alone.
void holdMagnet(QWidget* window, bool held);

}  // namespace ui
