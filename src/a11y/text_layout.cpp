// SPDX-License-Identifier: MIT
// Text pieces by offset, and the boxes of a monospace text's characters.
#include "a11y/text_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::pair<int, int> pieceAt(const std::string &text, int offset, uint32_t boundary) {
    const int n = int(text.size());
    offset = std::max(0, std::min(offset, n));
    if (boundary == 0)
        return {offset, std::min(offset + 1, n)};
    const char *breaks = boundary <= 2 ? " \n" : "\n";
    int start = offset, end = offset;
    if (boundary <= 2) { // blanks belong to the word before them
        while (start > 0 && (start == n || text[size_t(start)] == ' '))
            --start;
        while (start > 0 && !std::strchr(breaks, text[size_t(start - 1)]))
            --start;
        end = start;
        while (end < n && !std::strchr(breaks, text[size_t(end)]))
            ++end;
        while (end < n && text[size_t(end)] == ' ')
            ++end;
    } else {
        while (start > 0 && text[size_t(start - 1)] != '\n')
            --start;
        while (end < n && text[size_t(end)] != '\n')
            ++end;
    }
    return {start, std::min(end + (end < n && text[size_t(end)] == '\n' ? 1 : 0), n)};
}

namespace {

// The line that holds `offset` (its number and where it begins and ends, without its break).
struct Line {
    int number = 0, start = 0, end = 0;
};
Line lineOf(const std::string &text, int offset) {
    Line l;
    for (int i = 0; i < offset && i < int(text.size()); ++i)
        if (text[size_t(i)] == '\n') {
            ++l.number;
            l.start = i + 1;
        }
    const size_t end = text.find('\n', size_t(l.start));
    l.end = end == std::string::npos ? int(text.size()) : int(end);
    return l;
}

double lineLeft(const TextGeometry &g, const Line &l) {
    return g.centred ? g.x + (g.w - (l.end - l.start) * g.charWidth) / 2 : g.x;
}

// The box of [x0, x1) x [y0, y1), to whole units: neighbours share their edges.
TextBox boxOf(double x0, double y0, double x1, double y1) {
    const int left = int(std::floor(x0)), top = int(std::floor(y0));
    return {left, top, int(std::floor(x1)) - left, int(std::floor(y1)) - top};
}

} // namespace

TextBox characterBox(const std::string &text, const TextGeometry &g, int offset) {
    offset = std::max(0, std::min(offset, int(text.size())));
    const Line l = lineOf(text, offset);
    const double x = lineLeft(g, l) + (offset - l.start) * g.charWidth;
    const double y = g.y + l.number * g.lineHeight;
    return boxOf(x, y, offset < l.end ? x + g.charWidth : x, y + g.lineHeight);
}

// Line by line, each line's part once: a request for a whole long text costs little.
TextBox rangeBox(const std::string &text, const TextGeometry &g, int start, int end) {
    const int n = int(text.size());
    start = std::max(0, std::min(start, n));
    end = std::max(start, std::min(end, n));
    const TextBox first = characterBox(text, g, start);
    double x0 = first.x, x1 = first.x + first.w, y0 = first.y, y1 = first.y + first.h;
    for (Line l = lineOf(text, start);;) {
        const int from = std::max(start, l.start), to = std::min(end, l.end);
        if (to > from) {
            const double x = lineLeft(g, l) + (from - l.start) * g.charWidth;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x + (to - from) * g.charWidth);
            y1 = g.y + (l.number + 1) * g.lineHeight;
        }
        if (l.end + 1 >= end || l.end >= n)
            return boxOf(x0, y0, x1, y1);
        ++l.number;
        l.start = l.end + 1;
        const size_t next = text.find('\n', size_t(l.start));
        l.end = next == std::string::npos ? n : int(next);
    }
}

int offsetAt(const std::string &text, const TextGeometry &g, int x, int y) {
    if (g.lineHeight <= 0 || g.charWidth <= 0 || y < g.y)
        return -1;
    const double line = std::floor((y - g.y) / g.lineHeight);
    int start = 0;
    for (int i = 0; i < line; ++i) {
        const size_t next = text.find('\n', size_t(start));
        if (next == std::string::npos)
            return -1; // below the last line
        start = int(next) + 1;
    }
    const Line l = lineOf(text, start);
    const double column = std::floor((x - lineLeft(g, l)) / g.charWidth);
    return column >= 0 && column < l.end - l.start ? l.start + int(column) : -1;
}
