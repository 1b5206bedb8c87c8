// Draws resources/toolbar.png: the fifteen 24 x 23 toolbar images side by
// side (360 x 23), in the 16 colours of the classic palette on the light-grey
// button face, pixel by pixel so that they stay crisp at their small size.
// Image k starts at x = 24 k; the order is that of the toolbar table.
//
// Build and run from the top of the tree (the program is not part of the
// build; its output is committed):
//   g++ -std=c++20 -fPIC resources/make_toolbar_strip.cpp -o /tmp/make_toolbar_strip
//       $(pkg-config --cflags --libs Qt6Gui)
//   /tmp/make_toolbar_strip resources/toolbar.png
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kW = 24;
constexpr int kH = 23;
constexpr int kCount = 15;

// The classic 16-colour palette.
const QRgb kFace = qRgb(192, 192, 192);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kMaroon = qRgb(128, 0, 0);
const QRgb kGreen = qRgb(0, 128, 0);
const QRgb kLime = qRgb(0, 255, 0);
const QRgb kTeal = qRgb(0, 128, 128);
const QRgb kCyan = qRgb(0, 255, 255);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kOlive = qRgb(128, 128, 0);
const QRgb kPurple = qRgb(128, 0, 128);
const QRgb kMagenta = qRgb(255, 0, 255);

// One image being drawn; `mirror` flips every x so that a right-pointing
// picture is drawn by the same code as its left-pointing twin.
struct Canvas {
    QImage* Image;
    int Left;
    bool Mirror;

    void Pixel(int x, int y, QRgb c) const {
        if (x < 0 || x >= kW || y < 0 || y >= kH) return;
        Image->setPixel(Left + (Mirror ? kW - 1 - x : x), y, c);
    }
    void HLine(int x0, int x1, int y, QRgb c) const {
        for (int x = x0; x <= x1; ++x) Pixel(x, y, c);
    }
    void VLine(int x, int y0, int y1, QRgb c) const {
        for (int y = y0; y <= y1; ++y) Pixel(x, y, c);
    }
    void Fill(int x0, int y0, int x1, int y1, QRgb c) const {
        for (int y = y0; y <= y1; ++y) HLine(x0, x1, y, c);
    }
    void Frame(int x0, int y0, int x1, int y1, QRgb c) const {
        HLine(x0, x1, y0, c);
        HLine(x0, x1, y1, c);
        VLine(x0, y0, y1, c);
        VLine(x1, y0, y1, c);
    }
    void DashedFrame(int x0, int y0, int x1, int y1, QRgb c) const {
        for (int x = x0; x <= x1; ++x) {
            if ((x - x0) % 3 != 2) {
                Pixel(x, y0, c);
                Pixel(x, y1, c);
            }
        }
        for (int y = y0; y <= y1; ++y) {
            if ((y - y0) % 3 != 2) {
                Pixel(x0, y, c);
                Pixel(x1, y, c);
            }
        }
    }
    void Line(int x0, int y0, int x1, int y1, QRgb c) const {
        const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
        const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            Pixel(x0, y0, c);
            if (x0 == x1 && y0 == y1) break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    // A filled arrow head pointing left with its tip at (x, y), `depth`
    // pixels deep, outlined in `edge`.
    void HeadLeft(int x, int y, int depth, QRgb fill, QRgb edge) const {
        for (int i = 0; i < depth; ++i) {
            VLine(x + i, y - i, y + i, fill);
            Pixel(x + i, y - i, edge);
            Pixel(x + i, y + i, edge);
        }
        VLine(x + depth - 1, y - depth + 1, y + depth - 1, edge);
    }
    // A plain arrow pointing left: head plus a shaft `thick` pixels high.
    void ArrowLeft(int tip, int tail, int y, int depth, int thick, QRgb fill, QRgb edge) const {
        const int top = y - thick / 2;
        Fill(tip + depth - 1, top, tail, top + thick - 1, fill);
        HLine(tip + depth - 1, tail, top - 1, edge);
        HLine(tip + depth - 1, tail, top + thick, edge);
        VLine(tail, top - 1, top + thick, edge);
        HeadLeft(tip, y, depth, fill, edge);
        VLine(tip + depth - 1, top, top + thick - 1, fill);
    }
    void Circle(int cx, int cy, int r, QRgb edge, QRgb fill) const {
        for (int y = -r; y <= r; ++y) {
            for (int x = -r; x <= r; ++x) {
                const int d = x * x + y * y;
                if (d <= r * r - r)
                    Pixel(cx + x, cy + y, fill);
                else if (d <= r * r + r)
                    Pixel(cx + x, cy + y, edge);
            }
        }
    }
    void Text(int x, int y, const char* const* glyphs, int count, QRgb c) const {
        for (int g = 0; g < count; ++g) {
            for (int row = 0; row < 5; ++row) {
                for (int col = 0; col < 3; ++col) {
                    if (glyphs[g][row * 3 + col] == '#') Pixel(x + g * 4 + col, y + row, c);
                }
            }
        }
    }
};

// Magnifier: a lens with a plus or minus, the handle to the lower right.
void Magnifier(const Canvas& c, int cx, int cy, bool plus) {
    c.Line(cx + 4, cy + 4, cx + 8, cy + 8, kMaroon);
    c.Line(cx + 5, cy + 4, cx + 9, cy + 8, kMaroon);
    c.Line(cx + 4, cy + 5, cx + 8, cy + 9, kBlack);
    c.Circle(cx, cy, 5, kBlack, kCyan);
    c.Pixel(cx - 2, cy - 3, kWhite);
    c.Pixel(cx - 3, cy - 2, kWhite);
    c.HLine(cx - 2, cx + 2, cy, kBlack);
    if (plus) c.VLine(cx, cy - 2, cy + 2, kBlack);
}

// 0/1: blue triple-line arrow.
void LinkArrow(const Canvas& c) {
    c.HeadLeft(2, 11, 8, kBlue, kNavy);
    for (int y : {7, 11, 15}) {
        c.HLine(10, 21, y, kBlue);
        c.HLine(10, 21, y + 1, kNavy);
    }
}

// 2/3: magnifier over a vertical axis.
void YMagnifier(const Canvas& c, bool plus) {
    c.VLine(3, 2, 21, kBlack);
    c.Pixel(2, 3, kBlack);
    c.Pixel(4, 3, kBlack);
    for (int y = 6; y <= 20; y += 4) c.HLine(1, 5, y, kBlack);
    Magnifier(c, 13, 9, plus);
}

// 6/7: magnifier over a horizontal axis.
void XMagnifier(const Canvas& c, bool plus) {
    c.HLine(1, 22, 20, kBlack);
    c.Pixel(21, 19, kBlack);
    c.Pixel(21, 21, kBlack);
    for (int x = 3; x <= 19; x += 4) c.VLine(x, 18, 22, kBlack);
    Magnifier(c, 10, 7, plus);
}

// 4/5: arrow between a bar and a dashed frame.
void MarkerShift(const Canvas& c) {
    c.Fill(2, 3, 4, 19, kNavy);
    c.VLine(5, 3, 19, kBlack);
    c.DashedFrame(15, 4, 21, 18, kBlack);
    c.ArrowLeft(6, 13, 11, 5, 3, kRed, kMaroon);
}

// 8/9: arrow above a small curve diagram (the axes stay on the left).
void DiagramShift(const Canvas& c, bool right) {
    c.ArrowLeft(4, 19, 4, 5, 3, kRed, kMaroon);
    // The diagram below is drawn unmirrored in both images.
    Canvas plain{c.Image, c.Left, false};
    plain.Fill(4, 9, 21, 20, kWhite);
    plain.VLine(3, 8, 21, kBlack);
    plain.HLine(3, 22, 21, kBlack);
    const int xs[] = {4, 7, 10, 13, 16, 19, 21};
    const int ys[] = {18, 13, 15, 11, 16, 12, 14};
    for (int i = 0; i + 1 < 7; ++i) plain.Line(xs[i], ys[i], xs[i + 1], ys[i + 1], kGreen);
    (void)right;
}

// 10: two arrows pointing at a dashed marker line.
void HoldMarker(const Canvas& c) {
    for (int y = 1; y <= 21; ++y) {
        if (y % 3 != 0) c.VLine(11, y, y, kBlack), c.VLine(12, y, y, kBlack);
    }
    c.ArrowLeft(14, 21, 11, 5, 3, kRed, kMaroon);
    Canvas mirrored{c.Image, c.Left, !c.Mirror};
    mirrored.ArrowLeft(14, 21, 11, 5, 3, kRed, kMaroon);
}

// 11: horizontal grid lines in a frame.
void Grid(const Canvas& c) {
    c.Fill(2, 3, 21, 19, kWhite);
    c.Frame(2, 3, 21, 19, kBlack);
    for (int y : {7, 11, 15}) {
        for (int x = 3; x <= 20; ++x) {
            if (x % 2 == 1) c.Pixel(x, y, kGrey);
        }
    }
    c.Line(3, 17, 8, 10, kBlue);
    c.Line(8, 10, 13, 13, kBlue);
    c.Line(13, 13, 20, 6, kBlue);
}

// 12: mouse with left and right arrows and the word "fast".
void FastScroll(const Canvas& c) {
    c.Fill(9, 1, 14, 12, kWhite);
    c.HLine(10, 13, 0, kBlack);
    c.HLine(10, 13, 13, kBlack);
    c.VLine(8, 1, 12, kBlack);
    c.VLine(15, 1, 12, kBlack);
    c.HLine(9, 14, 5, kBlack);
    c.VLine(11, 1, 4, kBlack);
    c.Fill(12, 1, 14, 4, kGrey);  // the right button is the one that scrolls
    c.ArrowLeft(1, 6, 7, 3, 1, kBlue, kNavy);
    Canvas mirrored{c.Image, c.Left, !c.Mirror};
    mirrored.ArrowLeft(1, 6, 7, 3, 1, kBlue, kNavy);
    static const char* const kFast[] = {
        ".##"
        "#.."
        "###"
        "#.."
        "#..",  // f
        "..."
        ".##"
        "#.#"
        "#.#"
        ".##",  // a
        ".##"
        "#.."
        ".#."
        "..#"
        "##.",  // s
        ".#."
        "###"
        ".#."
        ".#."
        "..#",  // t
    };
    c.Text(4, 16, kFast, 4, kBlack);
}

// 13/14: stacked windows with an arrow.
void Digipeater(const Canvas& c) {
    Canvas plain{c.Image, c.Left, false};
    plain.Fill(9, 1, 21, 11, kWhite);
    plain.Frame(9, 1, 21, 11, kBlack);
    plain.Fill(10, 2, 20, 3, kGrey);
    plain.Fill(4, 5, 16, 15, kWhite);
    plain.Frame(4, 5, 16, 15, kBlack);
    plain.Fill(5, 6, 15, 7, kNavy);
    plain.HLine(6, 13, 10, kGrey);
    plain.HLine(6, 11, 12, kGrey);
    c.ArrowLeft(3, 20, 18, 5, 3, kGreen, kBlack);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_toolbar_strip OUTPUT.png\n");
        return 2;
    }
    QImage strip(kW * kCount, kH, QImage::Format_RGB32);
    strip.fill(kFace);
    auto at = [&](int k, bool mirror) { return Canvas{&strip, k * kW, mirror}; };
    LinkArrow(at(0, false));
    LinkArrow(at(1, true));
    YMagnifier(at(2, false), true);
    YMagnifier(at(3, false), false);
    MarkerShift(at(4, false));
    MarkerShift(at(5, true));
    XMagnifier(at(6, false), false);
    XMagnifier(at(7, false), true);
    DiagramShift(at(8, false), false);
    DiagramShift(at(9, true), true);
    HoldMarker(at(10, false));
    Grid(at(11, false));
    FastScroll(at(12, false));
    Digipeater(at(13, false));
    Digipeater(at(14, true));

    const QList<QRgb> palette = {kBlack, kMaroon, kGreen, kOlive,  kNavy, kPurple,  kTeal, kGrey,
                                 kFace,  kRed,    kLime,  kYellow, kBlue, kMagenta, kCyan, kWhite};
    const QImage indexed = strip.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
    if (!indexed.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
