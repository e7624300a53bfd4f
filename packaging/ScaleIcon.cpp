// Build-time tool: korvel-scale-icon IN.png SIZE OUT.png writes the program's
// one icon at another size for the desktop's icon theme. A whole-number
// enlargement keeps the pixels sharp; anything else is resampled smoothly.
#include <QImage>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: korvel-scale-icon IN.png SIZE OUT.png\n", stderr);
        return 2;
    }
    const QImage in(QString::fromLocal8Bit(argv[1]));
    const int size = QString::fromLocal8Bit(argv[2]).toInt();
    if (in.isNull() || size <= 0) {
        std::fprintf(stderr, "korvel-scale-icon: cannot read %s or bad size %s\n", argv[1],
                     argv[2]);
        return 1;
    }
    const bool sharp = size % in.width() == 0 && size % in.height() == 0;
    const QImage out = in.scaled(size, size, Qt::IgnoreAspectRatio,
                                 sharp ? Qt::FastTransformation : Qt::SmoothTransformation);
    if (!out.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "korvel-scale-icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
