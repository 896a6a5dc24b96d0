#include "gui/win32/GdiPainter.h"

#include <exception>
#include <string>
#include <type_traits>

#include <fmt/format.h>

#include "core/Log.h"
#include "gui/win32/WinStrings.h"

namespace zelk::win32 {

GdiPainter::~GdiPainter()
{
    for (auto& [c, b] : brushes_) ::DeleteObject(b);
    for (auto& [c, p] : pens_) ::DeleteObject(p);
}

HBRUSH GdiPainter::brush(Colour c)
{
    auto it = brushes_.find(c);
    if (it == brushes_.end()) it = brushes_.emplace(c, ::CreateSolidBrush(c)).first;
    return it->second;
}

HPEN GdiPainter::pen(Colour c)
{
    auto it = pens_.find(c);
    if (it == pens_.end()) it = pens_.emplace(c, ::CreatePen(PS_SOLID, 0, c)).first;
    return it->second;
}

namespace {

// The height of a panel row in the list's units: a clipped text keeps all of it.
constexpr int kGdiTextRowHeight = 32;

void lf_mapCanvas(HDC dc, int width, int height, std::int32_t canvasHeight)
{
    ::SetMapMode(dc, MM_ANISOTROPIC);
    ::SetWindowExtEx(dc, 900, canvasHeight, nullptr);
    ::SetViewportExtEx(dc, width, height, nullptr);
}

} // namespace

POINT GdiPainter::devicePoint(const RECT& client, std::int32_t canvasHeight, Point at)
{
    POINT p{at.x, at.y};
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (dc == nullptr) return p;
    lf_mapCanvas(dc, client.right - client.left, client.bottom - client.top, canvasHeight);
    ::LPtoDP(dc, &p, 1);
    ::DeleteDC(dc);
    return p;
}

void GdiPainter::paint(HDC target, const RECT& client, const DisplayList& list)
{
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    HDC memory = ::CreateCompatibleDC(target);
    HBITMAP bitmap = ::CreateCompatibleBitmap(target, width, height);
    if (memory == nullptr || bitmap == nullptr) {
        if (bitmap != nullptr) ::DeleteObject(bitmap);
        if (memory != nullptr) ::DeleteDC(memory);
        return;
    }
    HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
    lf_mapCanvas(memory, width, height, list.canvasHeight);
    for (const DrawOp& op : list.ops) draw(memory, op);
    ::SetMapMode(memory, MM_TEXT);
    ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
}

void GdiPainter::draw(HDC dc, const DrawOp& op)
{
    std::visit(
        [&](const auto& o) {
            using T = std::decay_t<decltype(o)>;
            if constexpr (std::is_same_v<T, draw::Fill>) {
                const RECT r{o.rect.left, o.rect.top, o.rect.right, o.rect.bottom};
                ::FillRect(dc, &r, brush(o.colour));
            } else if constexpr (std::is_same_v<T, draw::Line>) {
                HGDIOBJ old = ::SelectObject(dc, pen(o.colour));
                ::MoveToEx(dc, o.from.x, o.from.y, nullptr);
                ::LineTo(dc, o.to.x, o.to.y);
                ::SelectObject(dc, old);
            } else if constexpr (std::is_same_v<T, draw::Frame>) {
                HGDIOBJ oldPen = ::SelectObject(dc, pen(o.colour));
                HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
                ::Rectangle(dc, o.rect.left, o.rect.top, o.rect.right, o.rect.bottom);
                ::SelectObject(dc, oldBrush);
                ::SelectObject(dc, oldPen);
            } else {
                std::wstring wide;
                try {
                    wide = gf_toWide(o.text);
                } catch (const std::exception& e) {
                    gf_writeLogLine(fmt::format("TextOut utf8 to wide failed for '{}': {}", o.text, e.what()));
                    return;
                }
                HGDIOBJ oldFont = ::SelectObject(dc, o.bold ? bold_ : normal_);
                const int oldMode = ::SetBkMode(dc, TRANSPARENT);
                const COLORREF oldColour = ::SetTextColor(dc, o.colour);
                if (o.clipRight > 0) {
                    const RECT room{o.at.x, o.at.y - 3, o.clipRight, o.at.y - 3 + kGdiTextRowHeight};
                    ::ExtTextOutW(dc, o.at.x, o.at.y - 3, ETO_CLIPPED, &room, wide.c_str(),
                                  static_cast<UINT>(wide.size()), nullptr);
                } else {
                    ::TextOutW(dc, o.at.x, o.at.y - 3, wide.c_str(), static_cast<int>(wide.size()));
                }
                ::SetTextColor(dc, oldColour);
                ::SetBkMode(dc, oldMode);
                ::SelectObject(dc, oldFont);
            }
        },
        op);
}

} // namespace zelk::win32
