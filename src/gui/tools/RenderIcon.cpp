// veltrano-render-icon SVG FOLDER SIZE...: renders the application icon at
// each size into FOLDER/SIZE/veltrano.png (the desktop's fixed-size icons are
// made at build time from the one drawing).
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: veltrano-render-icon SVG FOLDER SIZE...\n");
    return 2;
  }
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "veltrano-render-icon: cannot read %s\n", argv[1]);
    return 1;
  }
  const QDir folder(QString::fromLocal8Bit(argv[2]));
  for (int i = 3; i < argc; ++i) {
    const int size = QString::fromLocal8Bit(argv[i]).toInt();
    if (size <= 0) return 2;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    const QString name = QString::number(size);
    if (!folder.mkpath(name) ||
        !image.save(folder.filePath(name + QStringLiteral("/veltrano.png")))) {
      std::fprintf(stderr, "veltrano-render-icon: cannot write size %d\n", size);
      return 1;
    }
  }
  return 0;
}
