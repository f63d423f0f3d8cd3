#include "gui/ColorBox.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace veltrano::gui {
namespace {

QColor ToQColor(TColor color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color) {
  return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
         (static_cast<TColor>(color.blue()) << 16);
}

QIcon Swatch(TColor color) {
  QPixmap pixmap(16, 12);
  pixmap.fill(ToQColor(color));
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
  return QIcon(pixmap);
}

}  // namespace

TColorBox::TColorBox(TColors colors, QWidget* parent) : QComboBox(parent) {
  const std::vector<std::string>& names = StandardColorNames();
  for (size_t i = 0; i < names.size(); ++i) {
    AddColor(QString::fromStdString(names[i]), StandardColor(i));
  }
  if (colors == TColors::Standard) return;
  AddColor(QStringLiteral("Money Green"), 0xC0DCC0);
  AddColor(QStringLiteral("Sky Blue"), 0xF0CAA6);
  AddColor(QStringLiteral("Cream"), 0xF0FBFF);
  AddColor(QStringLiteral("Medium Gray"), 0xA4A0A0);
  const QPalette palette = QApplication::palette();
  const std::pair<const char*, QPalette::ColorRole> system[] = {
      {"Window", QPalette::Window},
      {"Window Text", QPalette::WindowText},
      {"Base", QPalette::Base},
      {"Text", QPalette::Text},
      {"Button Face", QPalette::Button},
      {"Button Text", QPalette::ButtonText},
      {"Highlight", QPalette::Highlight},
      {"Highlight Text", QPalette::HighlightedText},
      {"Info Background", QPalette::ToolTipBase},
      {"Info Text", QPalette::ToolTipText},
  };
  for (const auto& [name, role] : system) {
    AddColor(QString::fromLatin1(name), FromQColor(palette.color(QPalette::Active, role)));
  }
}

void TColorBox::AddColor(const QString& name, TColor color) {
  addItem(Swatch(color), name, QVariant::fromValue(static_cast<uint>(color)));
}

TColor TColorBox::Color() const {
  return currentIndex() < 0 ? 0 : static_cast<TColor>(currentData().toUInt());
}

void TColorBox::SetColor(TColor color) {
  color &= 0xFFFFFF;
  int index = findData(QVariant::fromValue(static_cast<uint>(color)));
  if (index < 0) {
    AddColor(ToQColor(color).name().toUpper(), color);
    index = count() - 1;
  }
  setCurrentIndex(index);
}

QString TColorBox::ColorName() const {
  return currentIndex() < 0 ? QString() : currentText();
}

void TColorBox::SetColorName(const QString& name) {
  int index = findText(name);
  if (index < 0) {
    AddColor(name, 0);
    index = count() - 1;
  }
  setCurrentIndex(index);
}

}  // namespace veltrano::gui
