// One line of the ambiguity pop-up and of the tool-group pull-down lists:
// a text in its own font and colour, or a tool icon.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include "app/panels/tool_icon.h"

class QPainter;

class NSKelvoMenuCell {
 public:
  // A text line; an invalid colour draws in the palette's text colour.
  NSKelvoMenuCell(const QString& text, const QFont& font, const QColor& color = QColor());
  // A tool icon, drawn at the palette's icon size.
  explicit NSKelvoMenuCell(const tool_icon* icon);

  void setRect(const QRectF& rect) { drawingRect_ = rect; }
  QRectF getRect() const { return drawingRect_; }
  bool getHighlight() const { return highLight_; }
  void setHighlight(bool on) { highLight_ = on; }
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  int offset() const { return offset_; }
  void setOffset(int offset) { offset_ = offset; }

  const QString& text() const { return string_; }
  const QColor& color() const { return color_; }
  const tool_icon* image() const { return image_; }

  QSizeF cellSize() const;
  // Draws the cell in the frame: the text (in the highlighted-text colour
  // when highlighted) or the icon, whose background pixels take light grey
  // unless the cell is highlighted.
  void drawWithFrame(QPainter& painter, const QRectF& frame) const;

 private:
  QRectF drawingRect_;
  bool highLight_ = false;
  int tag_ = 0;
  QString string_;
  QFont font_;
  QColor color_;
  const tool_icon* image_ = nullptr;
  int offset_ = 0;
};

// The icon size of the tools palette (16 or 32 pixels).
int tools_palette_icon_size();
void set_tools_palette_icon_size(int size);

// The image of a tool icon at an icon size: pixels of the key colour take
// the replacement colour; `arrow` marks a list (icon_list_arrow).
class QImage;
QImage tool_icon_image(const tool_icon* icon, int size, uint32_t key, uint32_t replacement, int arrow);
