#pragma once

#include <windows.h>

#include <map>

#include "gui/PanelPainter.h"

namespace zelk::win32 {

// Draws a display list with GDI: into a memory bitmap of the client size, in
// the list's 96-dpi units (anisotropic mapping), then one copy to the window.
// Keeps the brushes and pens it made until it is destroyed; the fonts are the
// window's (made for 96 dpi: the mapping scales them).
class GdiPainter {
public:
    GdiPainter() = default;
    ~GdiPainter();
    GdiPainter(const GdiPainter&) = delete;
    GdiPainter& operator=(const GdiPainter&) = delete;

    void setFonts(HFONT normal, HFONT bold)
    {
        normal_ = normal;
        bold_ = bold;
    }
    // Paints the list over the whole client area of the window's device context.
    void paint(HDC target, const RECT& client, const DisplayList& list);
    // Where a point of a list (96-dpi units) of that canvas height lands in the client area.
    static POINT devicePoint(const RECT& client, std::int32_t canvasHeight, Point at);

private:
    void draw(HDC dc, const DrawOp& op);
    HBRUSH brush(Colour c);
    HPEN pen(Colour c);

    HFONT normal_ = nullptr;
    HFONT bold_ = nullptr;
    std::map<Colour, HBRUSH> brushes_;
    std::map<Colour, HPEN> pens_;
};

} // namespace zelk::win32
