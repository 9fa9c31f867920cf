// SPDX-License-Identifier: MIT
// Makes docs/screenshot.png: norvik on a private Xvfb, a short calculation in hexadecimal
// typed with real X key events, and the window's pixels written as PNG.
#include "process.h"
#include "xsession.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s NORVIK OUTPUT.png\n", argv[0]);
        return 2;
    }
    std::string name;
    const pid_t server = startXvfb(name);
    Display *d = server > 0 ? XOpenDisplay(name.c_str()) : nullptr;
    if (!d) {
        std::fprintf(stderr, "screenshot: no Xvfb\n");
        return 1;
    }
    useDisplay(d);
    const pid_t program = spawn({argv[1]}, {"DISPLAY=" + name});
    Window win = None;
    waitUntil([&] { return (win = findWindow("norvik - Programmers' calculator")) != None; }, 10);
    int status = 1;
    if (win != None) {
        usleep(200000);
        focusWindow(win);
        // Hexadecimal: FF * 10 = , then 1 so the display shows an entry being typed.
        typeKey(XK_h, ShiftMask);
        for (unsigned long sym : {XK_f, XK_f, XK_asterisk, XK_1, XK_0, XK_Return})
            typeKey(sym);
        usleep(300000);

        XWindowAttributes a;
        XGetWindowAttributes(d, win, &a);
        XImage *image = XGetImage(d, win, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        std::vector<png_byte> rgb;
        for (int y = 0; image && y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                rgb.insert(rgb.end(), {png_byte(p >> 16), png_byte(p >> 8), png_byte(p)});
            }
        if (image)
            XDestroyImage(image);
        png_image png{};
        png.version = PNG_IMAGE_VERSION;
        png.width = png_uint_32(a.width);
        png.height = png_uint_32(a.height);
        png.format = PNG_FORMAT_RGB;
        if (!rgb.empty() && png_image_write_to_file(&png, argv[2], 0, rgb.data(), 0, nullptr))
            status = 0;
        else
            std::fprintf(stderr, "screenshot: cannot write %s\n", argv[2]);
    }
    stopProgram(program);
    XCloseDisplay(d);
    stopProgram(server);
    return status;
}
